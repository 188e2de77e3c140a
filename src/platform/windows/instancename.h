#pragma once

#include <QString>

namespace tarv {

// The name of the pipe (and of the lock beside it) through which the program running on a data
// folder is found, given the folder's digest.
//
// Every named pipe of a Windows machine lives in one name space, shared by all its users and
// sessions, so a name made of the folder alone would let two users' programs meet, or one user
// answer for another. The name carries the user's security identifier instead: stable across the
// user's sessions (one ledger, one meter, whichever session starts first), distinct for every
// account. Qt's pipe server admits this user only, but does not insist on creating the pipe's
// first instance: a pipe of the name that another account made first (or one whose server runs
// as another account) is passed over for the next of a few names, by the program and by its
// callers alike. Without a readable identifier (which a working logon always has) the user's
// name stands in.
QString windowsInstanceName(const QString &folderDigest);
// The same for the user of the given identifier (tests stand in for another account with it).
QString windowsInstanceName(const QString &folderDigest, const QString &userSid);

// The current user's security identifier in its text form ("S-1-5-21-..."), empty when the
// process's token cannot be read.
QString currentUserSid();

} // namespace tarv
