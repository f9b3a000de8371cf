insert into imanexos values (32766,3,'Torno','',0)
