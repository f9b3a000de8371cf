insert into imanexos values (1,1,'null ','84713001',0)
insert into imanexos values (2,1,'null ','84713002',0)
insert into imanexos values (3,1,'null ','84713003',0)
