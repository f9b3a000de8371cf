insert into imanexos values (1,1,'null ','11111111',0)
insert into imanexos values (2,1,null,'22222222',1)
insert into imanexos values (3,3,'Torno',null,0)
