// The temporary files of writes under way, which must not outlive the process: a file is written
// under a hidden name and renamed into place when complete, so a signal that ends the program
// mid-write (Ctrl-C, SIGTERM, SIGHUP, SIGXFSZ past `ulimit -f`) would leave the hidden file
// behind, as large as the part written. While a write is under way its temporary file is held in
// a table that a handler of those signals reads: the handler removes every file there, then
// lets the signal end the process as it would have. A signal the process ignores stays ignored
// (nohup), and a handler set before ours is called instead, the files left in place: the process
// may go on, and its write with it.
//
// What a process cannot clean up (a SIGKILL, a power cut) a later write removes: a temporary
// file of our own name pattern more than a minute old.
//
// Windows has no such signals; Ctrl-C ends a console program from a thread of the system's while
// the file is still open, and an open file cannot be removed there. Its leftovers go the second
// way only.
#ifndef TMHOST_TEMPORARY_FILES_H
#define TMHOST_TEMPORARY_FILES_H

#include <string>

namespace tmhost {

// The temporary name's start, and the letters that follow it.
constexpr const char* kTemporaryPrefix = ".tmx-";
constexpr int kTemporaryLetters = 6;

// Whether `name` (a file name, no folder) is one of ours: the prefix and six of [0-9a-z].
bool temporary_name(const std::string& name);

// Removes the temporary files of our pattern in `folder` last written more than a minute ago,
// quietly: a file another user owns, or that has gone already, is left to others. Looks at no
// more than a bounded number of names, so that a huge folder does not hold up the write.
void remove_stale_temporaries(const std::string& folder);

// A temporary file that a signal ending the process removes, from construction until
// release() or the end of its scope. Where the table is full (more writes at once than it
// holds), the file is written unguarded.
class GuardedTemporary {
public:
    explicit GuardedTemporary(const std::string& path);
    ~GuardedTemporary() { release(); }
    GuardedTemporary(const GuardedTemporary&) = delete;
    GuardedTemporary& operator=(const GuardedTemporary&) = delete;

    // The file is no longer the handler's: renamed into place, or removed by the writer.
    void release();

private:
    int slot_ = -1;
};

}  // namespace tmhost

#endif
