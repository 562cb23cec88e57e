-- Rows of a calls.db with the seven original columns; the second call's
-- date is beyond the range of milliseconds.
insert into call(address,date,duration,flags,person,hash) values('555',100,5,4,'Ann','h1');
insert into call(address,date,hash) values('1',9223372036854775807,'h2');
