-- Two messages of one chat sharing one attachment, for the triggers that
-- remove what nothing refers to any more.
insert into handle(ROWID,id,service) values(1,'+1','SMS');
insert into chat(ROWID,guid) values(1,'c1');
insert into chat_handle_join values(1,1);
insert into message(ROWID,guid,handle_id) values(1,'m1',1),(2,'m2',1);
insert into chat_message_join values(1,1),(1,2);
insert into attachment(ROWID,guid) values(1,'a1');
insert into message_attachment_join values(1,1),(2,1);
