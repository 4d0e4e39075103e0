-- The starter database: the two tables in the column order the program addresses by position.
-- AUTOINCREMENT keeps ids of deleted rows from coming back, so an old article never points at a new scheme.
CREATE TABLE rule(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  class INTEGER,
  code TEXT,
  name TEXT,
  url TEXT,
  cookie TEXT,
  ua TEXT,
  arttile TEXT,
  arturl TEXT,
  lasttime TEXT,
  buquan TEXT,
  regular TEXT,
  "before" TEXT,
  "after" TEXT,
  tindex TEXT,
  uindex TEXT,
  oindex TEXT,
  isdo TEXT,
  lastid INTEGER,
  type TEXT
);
CREATE TABLE info(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  planname TEXT,
  planid INTEGER,
  title TEXT,
  url TEXT,
  other TEXT,
  addtime TEXT,
  issoucang INTEGER
);
