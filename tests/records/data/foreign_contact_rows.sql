-- Contact rows written by something else: NULLs everywhere, and a note whose
-- bytes are not UTF-8 (a zero byte inside).
insert into contact(_id,src_id,full_name) values(50,NULL,NULL);
insert into data(type,contact_id,src_id,data1,data2,data3) values(3,50,NULL,NULL,NULL,NULL);
insert into data(type,contact_id,data1) values(9,50,CAST(x'ff00fe41' AS TEXT));
