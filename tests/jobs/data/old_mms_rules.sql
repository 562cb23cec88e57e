INSERT INTO handle VALUES (1, 'Friend@Example.COM', 'Friend'), (2, '+49 (170) 123-4567', 'Anna'), (3, '12345', '');
-- A sent message with two pictures: one message per part.
INSERT INTO message VALUES (1, 1700000000, 1, '', 'look￼ at these', 1);
INSERT INTO attachment VALUES (1, 'a.jpg', 'image/jpeg'), (2, 'b.png', 'image/png');
-- A text attachment becomes the text; blank, untyped, non-text and missing ones are dropped.
INSERT INTO message VALUES (2, 1600000000, 0, '', '', 2), (3, 1600000100, 0, '', '', 2);
INSERT INTO attachment VALUES (3, 'note.txt', 'TEXT/PLAIN'), (4, 'blank.txt', 'text/plain'),
  (5, 'doc.pdf', 'Application/pdf'), (6, 'untyped.bin', NULL), (7, 'missing.txt', 'text/plain');
-- A message without a handle row is not converted.
INSERT INTO message VALUES (4, 1600000200, 0, '', 'orphan', 999);
-- Attachment paths that leave the folder are skipped.
INSERT INTO message VALUES (5, 1600000300, 0, '', 'body', 3);
INSERT INTO attachment VALUES (8, '../../secret.jpg', 'image/jpeg'), (9, '..\..\secret.jpg', 'image/jpeg'),
  (10, '/etc/hostname', 'text/plain');
INSERT INTO message_attachment VALUES (1, 1), (1, 2), (2, 3), (3, 4), (3, 5), (3, 6), (3, 7), (5, 8), (5, 9), (5, 10);
