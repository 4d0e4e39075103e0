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
-- The favourites view and a scheme's view read the newest 100 rows of one flag or one scheme; with these
-- indexes they stay instant on a million articles (the program works without them, only slower).
CREATE INDEX info_planid ON info(planid);
CREATE INDEX info_issoucang ON info(issoucang);
