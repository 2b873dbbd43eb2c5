-- Tables dorVek writes to and reads from. Load into each schema that
-- bookings name, e.g.: mariadb -uroot SCHEMA < sql/schema.sql
-- The program itself creates no table.

-- Function-code translation: a booking's code FcdOld is booked as FcdNew
-- (NULL keeps the code). The first row the server returns wins.
CREATE TABLE Kvn131FcdUeb (
  FcdOld VARCHAR(3) NOT NULL,
  FcdNew VARCHAR(3) NULL,
  KEY FcdOld (FcdOld)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;

-- Bookings. The unique key makes the server refuse a second booking of the
-- same person, day, time and function type (error 1062).
CREATE TABLE Kvn321Bch (
  BchPnr VARCHAR(8) NOT NULL,
  BchVon DATE NOT NULL,
  BchUhr DATETIME NOT NULL,
  BchFkt VARCHAR(5) NOT NULL,
  BchFcd VARCHAR(3) NOT NULL,
  BchTxt VARCHAR(255) NULL,
  BchSta INT NOT NULL,
  BchDat DATETIME NOT NULL,
  BchErf VARCHAR(10) NOT NULL,
  BchTrm VARCHAR(255) NOT NULL,
  BchKst VARCHAR(34) NOT NULL,
  UNIQUE KEY BchSchluessel (BchPnr, BchVon, BchUhr, BchFkt)
) ENGINE=InnoDB DEFAULT CHARSET=latin1;
