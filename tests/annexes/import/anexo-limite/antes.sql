insert into imanexos values (32765,3,'Torno','',0)
