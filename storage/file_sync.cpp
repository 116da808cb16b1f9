#include "storage/file_sync.h"
#include "storage/settings.h"
#include "storage/versions.h"
#include <algorithm>

// Conflict copies that do not decode whole: left to the user, and not read again at every look
// until they change.
static std::vector<FileIdentity> Unreadable;

static bool ReadConflictCopy(const std::string& path, MergeJob& job)
{
    FileIdentity identity;
    if (IdentityOf(path, identity) != ERROR_SUCCESS
        || std::any_of(Unreadable.begin(), Unreadable.end(), [&](const FileIdentity& known) { return SameIdentity(known, identity); }))
        return false;
    bool cut = false;
    if (RetryWhileHeld([&] { return ReadFileOnce(path, g_maxDataFileSize, job.file.bytes, cut, &job.file.identity); })
        != ERROR_SUCCESS)
        return false;
    const DecodedNotes decoded = DecodeNotes(job.file.bytes.data(), job.file.bytes.size());
    if (cut || !decoded.whole) {
        Unreadable.push_back(job.file.identity);
        return false;
    }
    job.copy = path;
    job.theirs = decoded.notes;
    return true;
}

bool FindChange(MergeJob& job, bool settle)
{
    job = MergeJob();
    if (LookForChange(job.file, settle)) {
        job.theirs = DecodeNotes(job.file.bytes.data(), job.file.bytes.size()).notes;
        return true;
    }
    if (settle)
        for (const std::string& copy : FindConflictCopies())
            if (ReadConflictCopy(copy, job))
                return true;
    return false;
}

// Both say the same of every note, in the same order (a note's look, open or a mark, is each
// computer's own).
static bool SameCollection(const std::vector<StoredNote>& a, const std::vector<StoredNote>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].extras.id != b[i].extras.id || !SameNote(a[i], b[i]))
            return false;
    return true;
}

void MakeMerge(MergeJob& job, const std::vector<uint8_t>& mine)
{
    job.mine = mine;
    job.mineNotes = DecodeNotes(mine.data(), mine.size()).notes;
    const std::vector<StoredNote>& my = job.mineNotes;
    const std::string versions = job.theirs.empty() ? std::string() : job.theirs[0].extras.versions;
    bool known = false;
    const std::vector<StoredNote>& base = BaseFor(versions, known);
    // A conflict copy of no version this run knows has nothing in common with it: nothing in it
    // counts as deleted.
    job.merged = MergeNotes(job.copy.empty() || known ? &base : nullptr, my, job.theirs, NewUniqueId);
    job.changesMine = !SameCollection(job.merged.notes, my);
    job.changesFile = job.copy.empty() ? !SameCollection(job.merged.notes, job.theirs) : job.changesMine;
}

void ConcludeOnDisk(const MergeJob& job)
{
    if (job.copy.empty()) {
        TakeOverFile(job.file);
        TakeOverVersions(job.theirs, job.theirs.empty() ? std::string() : job.theirs[0].extras.versions);
        return;
    }
    // Nothing in it that notes.bin does not hold: it goes. Otherwise it stays, under a name of the
    // program's own, so that it is not merged again.
    std::string keptAs;
    if (!job.changesMine)
        DeleteOwnFile(job.copy);
    else
        KeepFileAside(job.copy, Settings.DataFile, keptAs);
}
