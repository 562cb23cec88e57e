CREATE TABLE playlists (
    _id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT NOT NULL,
    members TEXT,
    hash TEXT
);
CREATE INDEX index_playlists_name ON playlists (name);
CREATE INDEX index_playlists_hash ON playlists (hash);
