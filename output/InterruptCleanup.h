#pragma once

namespace faceloom {

// Removes the output's temporary file when the run is interrupted (SIGINT, SIGTERM,
// SIGHUP, SIGPIPE) while it exists, then lets the signal end the process as it would
// have (status 128 + the signal's number). A signal the process ignores (SIGHUP under
// nohup, say) stays ignored. SIGKILL can't be caught: the temporary's name says
// what it is instead.
//
// A signal handler can read nothing but what is set aside for it beforehand, without
// locks: the directory's descriptor and the file's name, kept in the one small record
// of InterruptCleanup.cpp. Only one temporary file is watched at a time.

// Watches `name` (at most NAME_MAX bytes) in the directory open as `directory`.
void watchTemporaryFile(int directory, const char* name);
// Stops watching; call once the file is renamed or removed.
void forgetTemporaryFile();

}  // namespace faceloom
