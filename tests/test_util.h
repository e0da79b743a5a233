#pragma once
// Small helpers shared by the tests: temporary folders, whole-file reads and
// writes, and UTF-8 views of wide text for readable assertions.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#endif

namespace testutil {

// A new empty folder; the returned path is ASCII and has no trailing separator.
inline std::string MakeTempDir() {
#ifdef _WIN32
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%staplore_%lu_%u", base, GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(path, nullptr)) return path;
    }
#else
    char templ[] = "/tmp/taplore_XXXXXX";
    return mkdtemp(templ);
#endif
}

inline char Separator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

inline std::string Join(const std::string& dir, const std::string& name) {
    return dir + Separator() + name;
}

inline bool ReadBytes(const std::string& path, std::string* out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    out->clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
    std::fclose(f);
    return true;
}

inline std::string ReadBytes(const std::string& path) {
    std::string s;
    ReadBytes(path, &s);
    return s;
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

inline bool FileExists(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

// The names in a folder (without "." and ".."), sorted.
inline std::vector<std::string> ListFolder(const std::string& dir) {
    std::vector<std::string> names;
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name != "." && name != "..") names.push_back(name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
#else
    if (DIR* folder = opendir(dir.c_str())) {
        while (dirent* entry = readdir(folder)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(folder);
    }
#endif
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `program` with one optional argument in folder `cwd` and returns its
// exit code, or -1 when it could not be started, was ended by a signal or did
// not end within two minutes (it is killed then); `why`, when given, then
// says which. Under Wine a program that crashes waits on the debugger's crash
// dialog until it is killed, unless the prefix turns that dialog off
// (cmake/wine-env.sh does): it then ends with its exception code.
inline int RunProgram(const std::string& program, const std::string& argument, const std::string& cwd,
                      std::string* why = nullptr) {
    const unsigned kLimitMs = 120000;
    char text[128];
    auto fail = [&](const char* reason) {
        if (why) *why = reason;
        return -1;
    };
#ifdef _WIN32
    std::string command = "\"" + program + "\"";
    if (!argument.empty()) command += " " + argument;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(), &si,
                        &pi)) {
        snprintf(text, sizeof text, "CreateProcess failed, error %lu", GetLastError());
        return fail(text);
    }
    DWORD code = static_cast<DWORD>(-1);
    const bool ended = WaitForSingleObject(pi.hProcess, kLimitMs) == WAIT_OBJECT_0;
    if (ended) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    if (!ended) return fail("still running after two minutes");
    if (why && code >= 0xC0000000u) {
        snprintf(text, sizeof text, "ended by exception 0x%08lX", code);
        *why = text;
    }
    return static_cast<int>(code);
#else
    pid_t pid = fork();
    if (pid < 0) return fail("fork failed");
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) _exit(120);
        if (argument.empty()) execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        else execl(program.c_str(), program.c_str(), argument.c_str(), static_cast<char*>(nullptr));
        _exit(121);
    }
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            snprintf(text, sizeof text, "ended by signal %d", WIFSIGNALED(status) ? WTERMSIG(status) : 0);
            return fail(text);
        }
        if (done < 0) return fail("waitpid failed");
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        if ((now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000 > kLimitMs) break;
        timespec pause = {0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return fail("still running after two minutes");
#endif
}

// UTF-16 to UTF-8, independent of the platform's wchar_t functions.
inline std::string Utf8(const wchar_t* w) {
    std::string out;
    if (!w) return out;
    for (size_t i = 0; w[i]; ++i) {
        unsigned c = static_cast<unsigned short>(w[i]);
        if (c >= 0xD800 && c < 0xDC00 && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<unsigned short>(w[++i]) - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

}  // namespace testutil
