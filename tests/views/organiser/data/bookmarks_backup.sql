-- A backup's bookmark tree: Home, Work/Docs/{API reference, Guide}, then a
-- bare path, a script and an ftp bookmark without title at the top.
insert into bookmarks(id, parent, type, title, url, order_index, src_id) values
  (1, 0, 1, 'Work', null, 1, ''),
  (2, 1, 1, 'Docs', null, 0, ''),
  (3, 2, 0, 'Guide', 'https://docs.example/guide', 1, ''),
  (4, 2, 0, 'API reference', 'http://api.example/', 0, ''),
  (5, 0, 0, 'Home', 'https://home.example/', 0, ''),
  (6, 0, 0, 'Local file', '/etc/passwd', 2, ''),
  (7, 0, 0, 'Script', 'javascript:alert(1)', 3, ''),
  (8, 0, 0, '', 'ftp://files.example/pub', 4, '')
