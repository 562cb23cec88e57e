-- A contacts file of another program: its contact table has no full_name.
create table contact(_id integer primary key, src_id, name);
create table contact_group(_id integer primary key, name);
create table data(_id integer primary key, type, contact_id, src_id, data1);
insert into contact values(1,'s','x');
