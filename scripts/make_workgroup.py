#!/usr/bin/env python3
"""Writes the workgroup file MavroDB carries as its resource MDWFILE 235: an
SQLite file with the built-in accounts. Its content is fixed: the same
statements, salt and identifiers every build, so every file made from the
resource knows "admin", "Admins" and "Users" by the same identifiers.

Accounts: kind 1 user, 2 group; the identifier is SHA-256 over the UTF-8
name, a NUL and the PID; a user's hash is SHA-256 over salt and UTF-8
password. "Creator" and "Engine" have no hash: nobody logs in as them."""
import hashlib
import os
import sqlite3
import sys

SCHEMA = """
CREATE TABLE MavroSysAccounts(Name TEXT PRIMARY KEY, Kind INTEGER NOT NULL,
 Identifier BLOB NOT NULL, Salt BLOB, Hash BLOB);
CREATE TABLE MavroSysMembers(UserName TEXT NOT NULL, GroupName TEXT NOT NULL,
 PRIMARY KEY(UserName, GroupName));
"""

ADMIN_SALT = b"MavroDB workgroup admin"


def identifier(name, pid=""):
    return hashlib.sha256(name.encode() + b"\0" + pid.encode()).digest()


def main(out):
    tmp = out + ".tmp"
    if os.path.exists(tmp):
        os.remove(tmp)
    db = sqlite3.connect(tmp)
    db.executescript(SCHEMA)
    rows = [
        ("admin", 1, identifier("admin"), ADMIN_SALT, hashlib.sha256(ADMIN_SALT).digest()),
        ("Creator", 1, identifier("Creator"), None, None),
        ("Engine", 1, identifier("Engine"), None, None),
        ("Admins", 2, identifier("Admins"), None, None),
        ("Users", 2, identifier("Users"), None, None),
    ]
    db.executemany("INSERT INTO MavroSysAccounts VALUES (?, ?, ?, ?, ?)", rows)
    db.executemany("INSERT INTO MavroSysMembers VALUES (?, ?)",
                   [("admin", "Admins"), ("admin", "Users")])
    db.commit()
    db.close()
    os.replace(tmp, out)


if __name__ == "__main__":
    main(sys.argv[1])
