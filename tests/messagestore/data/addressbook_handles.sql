-- Handles as a phone stored them, before normalisation.
insert into handle(ROWID,id,service,_ct_name) values(1,'138 0013 8000','SMS','old');
insert into handle(ROWID,id,service) values(3,'Someone@Mail.COM','SMS');
insert into chat(ROWID,guid,chat_identifier) values(1,'c1','x');
insert into chat_handle_join values(1,1),(1,3);
