// POSIX side of the platform seam: the narrow "ANSI" encoding is UTF-8, code
// page 932 goes through iconv, files are file descriptors.
#include "core/platform.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Both directions follow the Windows converters: invalid input becomes U+FFFD
// (or '?' in code page 932), and a srcLen of -1 includes the terminator.
struct Utf16Sink {
    wchar_t* dst;
    int capacity;
    int count = 0;
    bool overflow = false;
    void Put(unsigned unit) {
        if (dst) {
            if (count >= capacity) {
                overflow = true;
                return;
            }
            dst[count] = static_cast<wchar_t>(unit);
        }
        ++count;
    }
    void PutCodePoint(unsigned cp) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            Put(0xD800 + (cp >> 10));
            Put(0xDC00 + (cp & 0x3FF));
        } else {
            Put(cp);
        }
    }
};

void DecodeUtf8(const unsigned char* s, int n, Utf16Sink& out) {
    int i = 0;
    while (i < n && !out.overflow) {
        unsigned c = s[i];
        if (c < 0x80) {
            out.Put(c);
            ++i;
            continue;
        }
        int extra = c >= 0xF0 && c <= 0xF4 ? 3 : c >= 0xE0 ? 2 : c >= 0xC2 && c < 0xE0 ? 1 : -1;
        if (c >= 0xF5) extra = -1;
        unsigned cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : c & 0x1F;
        int j = 1;
        bool ok = extra > 0;
        for (; ok && j <= extra; ++j) {
            if (i + j >= n || (s[i + j] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (s[i + j] & 0x3F);
        }
        if (ok && ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp < 0xE000))) ||
                   (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))) {
            ok = false;
        }
        if (ok) {
            out.PutCodePoint(cp);
            i += extra + 1;
        } else {
            out.Put(0xFFFD);
            i += j > 1 ? j : 1;
        }
    }
}

struct ByteSink {
    char* dst;
    int capacity;
    int count = 0;
    bool overflow = false;
    void Put(unsigned char b) {
        if (dst) {
            if (count >= capacity) {
                overflow = true;
                return;
            }
            dst[count] = static_cast<char>(b);
        }
        ++count;
    }
};

void EncodeUtf8(const wchar_t* s, int n, ByteSink& out) {
    for (int i = 0; i < n && !out.overflow; ++i) {
        unsigned c = static_cast<unsigned short>(s[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n) {
            unsigned d = static_cast<unsigned short>(s[i + 1]);
            if (d >= 0xDC00 && d < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00);
                ++i;
            }
        }
        if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
        if (c < 0x80) {
            out.Put(c);
        } else if (c < 0x800) {
            out.Put(0xC0 | (c >> 6));
            out.Put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out.Put(0xE0 | (c >> 12));
            out.Put(0x80 | ((c >> 6) & 0x3F));
            out.Put(0x80 | (c & 0x3F));
        } else {
            out.Put(0xF0 | (c >> 18));
            out.Put(0x80 | ((c >> 12) & 0x3F));
            out.Put(0x80 | ((c >> 6) & 0x3F));
            out.Put(0x80 | (c & 0x3F));
        }
    }
}

// One converter per direction and thread, opened on first use and kept: a
// document in code page 932 converts every text twice (measure, then
// convert), and opening a converter costs more than converting a short text.
class CIconv {
public:
    ~CIconv() {
        if (cd_ != kNone) iconv_close(cd_);
    }
    // The converter in its initial state, or kNone when it cannot be opened.
    iconv_t Get(const char* to, const char* from) {
        if (cd_ == kNone) {
            cd_ = iconv_open(to, from);
        } else {
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return cd_;
    }
    static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

private:
    iconv_t cd_ = kNone;
};

// Code page 932 through iconv. An invalid or cut-off sequence costs one
// replacement (U+FFFD, or '?' towards 932) and the scan goes on, as on Windows.
bool Convert932(bool toWide, const char* in, size_t inBytes, std::string* out) {
    thread_local CIconv toWideConverter, fromWideConverter;
    iconv_t cd = toWide ? toWideConverter.Get("UTF-16LE", "CP932") : fromWideConverter.Get("CP932", "UTF-16LE");
    if (cd == CIconv::kNone) return false;
    char* src = const_cast<char*>(in);
    const size_t unit = toWide ? 1 : 2;
    char buffer[4096];
    while (inBytes > 0) {
        char* dst = buffer;
        size_t room = sizeof buffer;
        size_t r = iconv(cd, &src, &inBytes, &dst, &room);
        out->append(buffer, sizeof buffer - room);
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (toWide) out->append("\xFD\xFF", 2);
        else out->push_back('?');
        size_t skip = inBytes < unit ? inBytes : unit;
        src += skip;
        inBytes -= skip;
    }
    return true;
}

int FdOf(PlatformFile file) {
    return static_cast<int>(reinterpret_cast<intptr_t>(file)) - 1;
}

PlatformFile FileOf(int fd) {
    return fd < 0 ? nullptr : reinterpret_cast<PlatformFile>(static_cast<intptr_t>(fd) + 1);
}

std::string PathToUtf8(const wchar_t* path) {
    std::string s;
    if (!path) return s;
    int n = static_cast<int>(WideLength(path));
    ByteSink sink{nullptr, 0};
    EncodeUtf8(path, n, sink);
    s.resize(sink.count);
    ByteSink real{&s[0], sink.count};
    EncodeUtf8(path, n, real);
    return s;
}

int Utf8ToBuffer(const char* text, wchar_t* buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    Utf16Sink sink{buffer, capacity - 1};
    DecodeUtf8(reinterpret_cast<const unsigned char*>(text), static_cast<int>(std::strlen(text)), sink);
    if (sink.overflow) {
        buffer[0] = 0;
        return 0;
    }
    buffer[sink.count] = 0;
    return sink.count;
}

}  // namespace

int PlatformAnsiCodePage() { return kCodePageUtf8; }

int PlatformMultiToWide(int codePage, const char* src, int srcLen, wchar_t* dst, int dstLen) {
    if (!src || srcLen == 0 || srcLen < -1 || dstLen < 0) return 0;
    if (srcLen == -1) {
        size_t n = std::strlen(src) + 1;
        if (n > INT_MAX) return 0;
        srcLen = static_cast<int>(n);
    }
    if (dstLen == 0) dst = nullptr;
    if (codePage == kCodePageShiftJis) {
        std::string wide;
        if (!Convert932(true, src, srcLen, &wide)) return 0;
        int units = static_cast<int>(wide.size() / 2);
        if (!dst) return units;
        if (units > dstLen) return 0;
        std::memcpy(dst, wide.data(), wide.size());
        return units;
    }
    // The ANSI code page and 65001 are both UTF-8 here.
    Utf16Sink sink{dst, dstLen};
    DecodeUtf8(reinterpret_cast<const unsigned char*>(src), srcLen, sink);
    return sink.overflow ? 0 : sink.count;
}

int PlatformWideToMulti(int codePage, const wchar_t* src, int srcLen, char* dst, int dstLen) {
    if (!src || srcLen == 0 || srcLen < -1 || dstLen < 0) return 0;
    if (srcLen == -1) {
        size_t n = WideLength(src) + 1;
        if (n > INT_MAX) return 0;
        srcLen = static_cast<int>(n);
    }
    if (dstLen == 0) dst = nullptr;
    if (codePage == kCodePageShiftJis) {
        std::string bytes;
        if (!Convert932(false, reinterpret_cast<const char*>(src), static_cast<size_t>(srcLen) * 2, &bytes)) {
            return 0;
        }
        int n = static_cast<int>(bytes.size());
        if (!dst) return n;
        if (n > dstLen) return 0;
        std::memcpy(dst, bytes.data(), n);
        return n;
    }
    ByteSink sink{dst, dstLen};
    EncodeUtf8(src, srcLen, sink);
    return sink.overflow ? 0 : sink.count;
}

PlatformFile PlatformOpenRead(const wchar_t* path) {
    std::string p = PathToUtf8(path);
    if (p.empty()) return nullptr;
    int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    return FileOf(fd);
}

PlatformFile PlatformOpenWrite(const wchar_t* path) {
    std::string p = PathToUtf8(path);
    if (p.empty()) return nullptr;
    return FileOf(open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
}

void PlatformClose(PlatformFile file) {
    if (file) close(FdOf(file));
}

bool PlatformRead(PlatformFile file, void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    if (!file) return false;
    char* p = static_cast<char*>(buffer);
    while (*done < count) {
        ssize_t n = read(FdOf(file), p + *done, count - *done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        *done += static_cast<uint32_t>(n);
    }
    return true;
}

bool PlatformWrite(PlatformFile file, const void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    if (!file) return false;
    const char* p = static_cast<const char*>(buffer);
    while (*done < count) {
        ssize_t n = write(FdOf(file), p + *done, count - *done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        *done += static_cast<uint32_t>(n);
    }
    return true;
}

bool PlatformSeek(PlatformFile file, int64_t position) {
    if (!file || position < 0) return false;
    return lseek(FdOf(file), static_cast<off_t>(position), SEEK_SET) == static_cast<off_t>(position);
}

bool PlatformTell(PlatformFile file, int64_t* position) {
    if (!file) return false;
    off_t p = lseek(FdOf(file), 0, SEEK_CUR);
    if (p < 0) return false;
    *position = p;
    return true;
}

bool PlatformFileSize(PlatformFile file, uint64_t* size) {
    struct stat st;
    if (!file || fstat(FdOf(file), &st) != 0) return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool PlatformFlush(PlatformFile file) {
    return file && fsync(FdOf(file)) == 0;
}

PlatformFile PlatformCreateNew(const wchar_t* path, bool* exists) {
    *exists = false;
    std::string p = PathToUtf8(path);
    if (p.empty()) return nullptr;
    int fd = open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) *exists = errno == EEXIST;
    return FileOf(fd);
}

bool PlatformGetTraits(const wchar_t* path, PlatformFileTraits* traits) {
    std::string p = PathToUtf8(path);
    struct stat st;
    if (p.empty() || stat(p.c_str(), &st) != 0) return false;
    *traits = PlatformFileTraits{};
    traits->bits = static_cast<uint32_t>(st.st_mode & 07777);
    traits->owner = static_cast<uint32_t>(st.st_uid);
    traits->group = static_cast<uint32_t>(st.st_gid);
    traits->directory = S_ISDIR(st.st_mode);
    // No write bit at all is the read-only mark (which the superuser's access
    // check would pass); otherwise the user's own rights decide.
    traits->readOnly = !traits->directory && ((st.st_mode & 0222) == 0 || access(p.c_str(), W_OK) != 0);
    return true;
}

bool PlatformSetTraits(const wchar_t* path, const PlatformFileTraits& traits) {
    std::string p = PathToUtf8(path);
    if (p.empty()) return false;
    // The owner can only be kept by the superuser; the mode always can.
    if (chown(p.c_str(), static_cast<uid_t>(traits.owner), static_cast<gid_t>(traits.group)) != 0) {
        errno = 0;
    }
    return chmod(p.c_str(), static_cast<mode_t>(traits.bits & 07777)) == 0;
}

bool PlatformReplaceFile(const wchar_t* source, const wchar_t* target) {
    std::string s = PathToUtf8(source), t = PathToUtf8(target);
    return !s.empty() && !t.empty() && rename(s.c_str(), t.c_str()) == 0;
}

bool PlatformDeleteFile(const wchar_t* path) {
    std::string p = PathToUtf8(path);
    return !p.empty() && unlink(p.c_str()) == 0;
}

int PlatformComputerName(wchar_t* buffer, int capacity) {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0) return 0;
    // Windows reports the short name in capitals; do the same so marks made
    // here look like marks made there.
    for (char* p = name; *p; ++p) {
        if (*p == '.') {
            *p = '\0';
            break;
        }
        if (*p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 'a' + 'A');
    }
    return Utf8ToBuffer(name, buffer, capacity);
}

int PlatformProgramPath(wchar_t* buffer, int capacity) {
    // The program file of a running process stays where it is: it is asked
    // for once (every configuration object asks at construction).
    static const std::string path = [] {
        char link[PATH_MAX + 1];
        ssize_t n = readlink("/proc/self/exe", link, PATH_MAX);
        return std::string(link, n > 0 ? static_cast<size_t>(n) : 0);
    }();
    if (path.empty()) return 0;
    return Utf8ToBuffer(path.c_str(), buffer, capacity);
}

int PlatformCurrentDirectory(wchar_t* buffer, int capacity) {
    char path[PATH_MAX + 1];
    if (!getcwd(path, sizeof path)) return 0;
    return Utf8ToBuffer(path, buffer, capacity);
}

PlatformLibrary PlatformLoadLibrary(const wchar_t* fullPath) {
    std::string p = PathToUtf8(fullPath);
    if (p.empty() || p[0] != '/') return nullptr;
    return dlopen(p.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* PlatformLibrarySymbol(PlatformLibrary library, const char* name) {
    return library ? dlsym(library, name) : nullptr;
}

void PlatformFreeLibrary(PlatformLibrary library) {
    if (library) dlclose(library);
}

wchar_t PlatformPathSeparator() { return L'/'; }
