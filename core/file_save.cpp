// Whole-file saves that never cost the old file: a temporary beside the
// target, created exclusively, replaces it only when complete.
#include "core/array.h"
#include "core/file.h"

namespace {

// Tries at most this many names before concluding that the folder allows no
// new file. Names are tried in a fixed order: collisions are settled by the
// exclusive creation, not by chance.
constexpr int kTemporaryAttempts = 256;

// The temporary's name never exceeds the target's (nor 8 characters), so its
// full path fits wherever the target's does.
constexpr int kTemporaryNameMax = 8;

const wchar_t kDigits[] = L"0123456789abcdefghijklmnopqrstuvwxyz";

int NameStart(const wchar_t* path, int length) {
    int start = 0;
    for (int i = 0; i < length; ++i) {
        if (path[i] == L'/' || (PlatformPathSeparator() == L'\\' && (path[i] == L'\\' || path[i] == L':'))) {
            start = i + 1;
        }
    }
    return start;
}

// Candidate `n` for a name of `length` characters: "~" and base-36 digits,
// or a single digit or letter when the target's name has one character.
void CandidateName(unsigned n, int length, wchar_t* out) {
    int i = length;
    out[i] = 0;
    while (i > (length > 1 ? 1 : 0)) {
        out[--i] = kDigits[n % 36];
        n /= 36;
    }
    if (length > 1) out[0] = L'~';
}

bool WriteAll(PlatformFile file, const void* bytes, uint32_t count) {
    uint32_t done = 0;
    return (count == 0 || (PlatformWrite(file, bytes, count, &done) && done == count)) && PlatformFlush(file);
}

// Rewrites the target in place: the last resort when its folder takes no
// new file.
SafeWrite WriteInPlace(const wchar_t* path, const void* bytes, uint32_t count) {
    PlatformFile file = PlatformOpenWrite(path);
    if (!file) return SafeWrite::Failed;
    const bool written = WriteAll(file, bytes, count);
    PlatformClose(file);
    return written ? SafeWrite::Written : SafeWrite::Failed;
}

// Creates a new file of a name no file has in the folder that `path` begins
// with (the first `folderLength` units, the separator included), trying the
// candidates of `nameLength` characters in turn; the name is left in `path`.
// Null when the folder takes no new file.
PlatformFile CreateTemporary(wchar_t* path, int folderLength, int nameLength) {
    for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
        CandidateName(static_cast<unsigned>(attempt), nameLength, path + folderLength);
        bool taken = false;
        PlatformFile file = PlatformCreateNew(path, &taken);
        if (file || !taken) return file;
    }
    return nullptr;
}

}  // namespace

bool FolderAcceptsNewFiles(const wchar_t* folder) {
    if (!folder || !folder[0]) return false;
    int length = static_cast<int>(WideLength(folder));
    const wchar_t separator = PlatformPathSeparator();
    const bool separated = folder[length - 1] == separator || folder[length - 1] == L'/';
    CArray<wchar_t> probe;
    if (!probe.Resize(length + 2 + kTemporaryNameMax)) return false;
    for (int i = 0; i < length; ++i) probe[i] = folder[i];
    if (!separated) probe[length++] = separator;
    PlatformFile file = CreateTemporary(probe.Data(), length, kTemporaryNameMax);
    if (file) {
        PlatformClose(file);
        PlatformDeleteFile(probe.Data());
    }
    return file != nullptr;
}

SafeWrite WriteFileSafely(const wchar_t* path, const void* bytes, uint32_t count) {
    if (!path || !path[0] || (!bytes && count > 0)) return SafeWrite::Failed;
    PlatformFileTraits traits;
    const bool exists = PlatformGetTraits(path, &traits);
    if (exists && traits.readOnly) return SafeWrite::ReadOnly;

    const int length = static_cast<int>(WideLength(path));
    const int nameStart = NameStart(path, length);
    const int nameLength = length - nameStart;
    if (nameLength <= 0) return SafeWrite::Failed;
    const int temporaryLength = nameLength < kTemporaryNameMax ? nameLength : kTemporaryNameMax;
    CArray<wchar_t> temporary;
    if (!temporary.Resize(nameStart + temporaryLength + 1)) return SafeWrite::Failed;
    for (int i = 0; i < nameStart; ++i) temporary[i] = path[i];

    PlatformFile file = CreateTemporary(temporary.Data(), nameStart, temporaryLength);
    if (!file) return exists && traits.directory ? SafeWrite::Failed : WriteInPlace(path, bytes, count);

    // The replacement carries the old file's attributes from the start, so a
    // private file is never readable by others on the way.
    if (exists) PlatformSetTraits(temporary.Data(), traits);
    const bool written = WriteAll(file, bytes, count);
    PlatformClose(file);
    const bool replaced = written && PlatformReplaceFile(temporary.Data(), path);
    if (!replaced) PlatformDeleteFile(temporary.Data());
    return replaced ? SafeWrite::Written : SafeWrite::Failed;
}
