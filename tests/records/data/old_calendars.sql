-- Rows of a calendars.db from before the events gained their url column.
insert into calendars(_id,name) values(1,'Old');
insert into events(calendar_id,start_date,end_date,summary,hash) values(1,100,200,'kept','h');
insert into reminders(event_id,minutes) values(1,5);
