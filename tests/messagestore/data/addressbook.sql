-- A backup's address book: one person with the same number written twice
-- and a mail address.
CREATE TABLE ABPerson(ROWID INTEGER PRIMARY KEY, First TEXT, Last TEXT, Middle TEXT);
CREATE TABLE ABMultiValue(record_id INTEGER, property INTEGER, value TEXT);
insert into ABPerson values(7,' Ann ','Lee','');
insert into ABMultiValue values(7,3,'138 0013 8000'),(7,3,'+86 138-0013-8000'),(7,4,'a@b.c');
