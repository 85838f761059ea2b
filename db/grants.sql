-- The database accounts of fleetdesk and what each may do; run by an administrator (root) of the
-- server after the accounts exist (CREATE USER ... IDENTIFIED BY ...). Three names stand for the
-- real ones and are replaced before the file is run:
--   @database@  the program's database (yunsugongsi)
--   @program@   the program's account, as 'user'@'host' (every office PC deciphers its password)
--   @backup@    the backup program's account, as 'user'@'host' (only on the machine that backs up)
-- An account that once had more loses it first: the file can be run again at any time.

REVOKE ALL PRIVILEGES, GRANT OPTION FROM @program@;
REVOKE ALL PRIVILEGES, GRANT OPTION FROM @backup@;

-- The program, the reminders and the backup's record of results: the rows of the program's own
-- database, and its tables created when missing (CREATE TABLE IF NOT EXISTS, with their keys).
-- Nothing on other databases, no DROP, no ALTER, no administration.
GRANT SELECT, INSERT, UPDATE, DELETE, CREATE ON `@database@`.* TO @program@;

-- The backup: mariadb-dump in one InnoDB transaction without any lock (SELECT, SHOW VIEW, TRIGGER,
-- EVENT); the proof and the restores create, load (LOCK TABLES on what they load) and drop databases
-- of their own names and swap tables by RENAME TABLE (CREATE, DROP, ALTER, INDEX, INSERT and the
-- routines' and views' rights for what a dump recreates). No GRANT, FILE, SUPER, SHUTDOWN or
-- account administration.
GRANT SELECT, INSERT, UPDATE, DELETE, CREATE, DROP, ALTER, INDEX, REFERENCES, CREATE VIEW, SHOW VIEW, TRIGGER,
      EVENT, CREATE ROUTINE, ALTER ROUTINE, LOCK TABLES ON *.* TO @backup@;
