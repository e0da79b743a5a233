#include "core/file.h"

#include <cstring>

// ---------------------------------------------------------------- CFile

CFile::CFile() {}

CFile::~CFile() {
    if (handle_) PlatformClose(handle_);
}

int CFile::OpenRead(const CString& path) {
    if (handle_ || path.GetLength() <= 0 || !path.GetText()) return 0;
    fileName_.Assign(path);
    const wchar_t* wide = fileName_.GetWide();
    if (!wide) return 0;
    PlatformFile file = PlatformOpenRead(wide);
    if (!file) return 0;
    handle_ = file;
    readMode_ = 1;
    writeMode_ = 0;
    uint64_t length = 0;
    if (PlatformFileSize(file, &length)) size_ = length;
    return 1;
}

int CFile::OpenWrite(const char* path) {
    if (handle_ || !path || !path[0]) return -1;
    fileName_.Assign(path);
    const wchar_t* wide = fileName_.GetWide();
    if (!wide) return -1;
    return TakeForWriting(PlatformOpenWrite(wide));
}

int CFile::OpenNew(const wchar_t* path, bool* taken) {
    *taken = false;
    if (handle_ || !path || !path[0]) return -1;
    fileName_.Assign(path);
    return TakeForWriting(PlatformCreateNew(path, taken));
}

int CFile::TakeForWriting(PlatformFile file) {
    if (!file) return -1;
    handle_ = file;
    readMode_ = 0;
    writeMode_ = 1;
    size_ = 0;
    return 0;
}

int CFile::OpenWrite(const wchar_t* path) {
    CString narrow(path);
    return OpenWrite(narrow.GetText());
}

int CFile::Close() {
    if (handle_) PlatformClose(handle_);
    handle_ = nullptr;
    size_ = 0;
    return 0;
}

uint32_t CFile::Read(void* buffer, uint32_t count, int64_t position) {
    if (!handle_ || (!buffer && count > 0)) return 0;
    if (position != kCurrentPosition && !Seek(position)) return 0;
    uint32_t done = 0;
    if (!PlatformRead(handle_, buffer, count, &done)) return 0;
    return done;
}

uint32_t CFile::Write(const void* buffer, uint32_t count, int64_t position) {
    if (!handle_ || (!buffer && count > 0)) return 0;
    int64_t start = 0;
    if (position == kCurrentPosition) {
        // Writes at the current position normally append; one made after an
        // explicit Seek into the data must not count as growth.
        if (!PlatformTell(handle_, &start)) start = static_cast<int64_t>(size_);
    } else {
        if (!Seek(position)) return 0;
        start = position;
    }
    uint32_t done = 0;
    if (!PlatformWrite(handle_, buffer, count, &done)) return 0;
    uint64_t end = static_cast<uint64_t>(start) + done;
    if (end > size_) size_ = end;
    if (position != kCurrentPosition) {
        uint64_t length = size_;
        if (!PlatformFileSize(handle_, &length)) length = size_;
        PlatformSeek(handle_, static_cast<int64_t>(length));
    }
    return done;
}

int CFile::Seek(int64_t position) {
    if (!handle_ || position < 0) return 0;
    return PlatformSeek(handle_, position) ? 1 : 0;
}

int CFile::Flush() {
    if (!handle_) return 0;
    PlatformFlush(handle_);
    return 1;
}

int CFile::IsAtEnd() {
    if (!handle_) return 1;
    int64_t position = 0;
    if (!PlatformTell(handle_, &position)) position = 0;
    return static_cast<uint64_t>(position) >= size_ ? 1 : 0;
}

// ---------------------------------------------------------- CBitmapFile

namespace {

void PutU16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutU32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

const uint32_t kHeadersSize = 14 + 40;
const uint32_t kPixelsPerMetre = 3780;  // 96 dots per inch

}  // namespace

int CBitmapFile::WriteBitmap(int32_t width, int32_t height, const void* pixels, uint32_t byteCount) {
    if (width == 0 || height == 0 || byteCount == 0 || !pixels) return 0;
    // Rows are sized from the byte count, so a count that does not describe
    // width x height pixels would give headers that disagree with the data.
    if (width < 0 || height < 0) return 0;
    const uint64_t row = static_cast<uint64_t>(width) * 3;
    if (row * static_cast<uint64_t>(height) != byteCount) return 0;
    const uint64_t stride = (row + 3) & ~static_cast<uint64_t>(3);
    const uint64_t image64 = stride * static_cast<uint64_t>(height);
    if (image64 + kHeadersSize > 0xFFFFFFFFu) return 0;  // the size fields are 32 bits
    const uint32_t image = static_cast<uint32_t>(image64);

    std::memset(fileHeader_, 0, sizeof fileHeader_);
    fileHeader_[0] = 'B';
    fileHeader_[1] = 'M';
    PutU32(fileHeader_ + 2, kHeadersSize + image);
    PutU32(fileHeader_ + 10, kHeadersSize);
    if (Write(fileHeader_, sizeof fileHeader_, kCurrentPosition) != sizeof fileHeader_) return 0;

    std::memset(infoHeader_, 0, sizeof infoHeader_);
    PutU32(infoHeader_ + 0, sizeof infoHeader_);
    PutU32(infoHeader_ + 4, static_cast<uint32_t>(width));
    PutU32(infoHeader_ + 8, static_cast<uint32_t>(height));
    PutU16(infoHeader_ + 12, 1);
    PutU16(infoHeader_ + 14, 24);
    PutU32(infoHeader_ + 24, kPixelsPerMetre);
    PutU32(infoHeader_ + 28, kPixelsPerMetre);
    if (Write(infoHeader_, sizeof infoHeader_, kCurrentPosition) != sizeof infoHeader_) return 0;

    if (image > static_cast<uint32_t>(INT32_MAX)) return 0;
    if (static_cast<uint32_t>(pixels_.Capacity()) < image) {
        // The old rows are not needed: free first rather than copy them.
        pixels_.Free();
        if (!pixels_.Reserve(static_cast<int>(image))) return 0;
    }
    const uint8_t* source = static_cast<const uint8_t*>(pixels);
    const size_t rowBytes = static_cast<size_t>(row);
    const size_t strideBytes = static_cast<size_t>(stride);
    for (int32_t i = 0; i < height; ++i) {
        uint8_t* target = pixels_.Data() + static_cast<size_t>(i) * strideBytes;
        std::memcpy(target, source + static_cast<size_t>(height - 1 - i) * rowBytes, rowBytes);
        std::memset(target + rowBytes, 0, strideBytes - rowBytes);
    }
    return Write(pixels_.Data(), image, kCurrentPosition) == image ? 1 : 0;
}

// ------------------------------------------------------------ CFileName

int IsLeadByteOf(int codePage, unsigned char byte) {
    if (codePage == kCodePageAnsi) codePage = PlatformAnsiCodePage();
    switch (codePage) {
    case 932:  // Shift_JIS
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:  // GBK
    case 949:  // Korean
    case 950:  // Big5
        return byte >= 0x81 && byte <= 0xFE;
    default:
        return 0;
    }
}

namespace {

int IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

int FirstNonBlank(const char* text, int from, int length) {
    for (int i = from; i < length; ++i) {
        if (!IsBlankOrTab(text[i])) return i;
    }
    return -1;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

void CFileName::ClearPieces() {
    directory_.Clear();
    fileName_.Clear();
    baseName_.Clear();
    extension_.Clear();
}

// Cut with Mid and cleaned with Trim; a piece starting at or past the end of
// the text stays empty.
void CFileName::TakePiece(int start, int count, CString* piece) const {
    CString part;
    if (!fullPath_.Mid(start, count, &part)) return;
    part.Trim();
    piece->Assign(part);
}

int CFileName::SetPath(const char* path) {
    return SetPath(path, kCodePageAnsi);
}

int CFileName::SetPath(const char* path, int codePage) {
    if (!path) return 0;
    if (path != fullPath_.GetText()) fullPath_.Assign(path);
    // Every piece describes this path alone: nothing is left over from an
    // earlier one.
    ClearPieces();
    const char* text = fullPath_.GetText();
    const int n = text ? fullPath_.GetLength() : 0;
    if (codePage == kCodePageAnsi) codePage = PlatformAnsiCodePage();

    int s = -1;  // just after the last separator
    int d = -1;  // just after the last dot behind it
    for (int i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsLeadByteOf(codePage, c)) {
            ++i;
        } else if (c == '\\' || c == '/') {
            s = i + 1;
            d = -1;
        } else if (c == '.') {
            d = i + 1;
        }
    }
    if (s < 0) s = 0;
    if (s >= 2) TakePiece(0, s - 1, &directory_);
    TakePiece(s, n - s, &fileName_);

    if (d >= 0 && d - s >= 2) {
        TakePiece(d, n - d, &extension_);
        TakePiece(s, d - s - 1, &baseName_);
    } else if (d < 0) {
        TakePiece(s, n - s, &baseName_);
    }
    nameStart_ = FirstNonBlank(text, s, n);
    extensionStart_ = d >= 0 ? FirstNonBlank(text, d, n) : -1;
    return 1;
}

int CFileName::AddExtension(const char* ext) {
    if (!ext) return 0;
    const char* text = fullPath_.GetText();
    const int n = text ? fullPath_.GetLength() : 0;
    const int extLength = static_cast<int>(std::strlen(ext));
    if (n > 0 && extensionStart_ >= 0 && extensionStart_ < n && n - extensionStart_ == extLength) {
        const int codePage = PlatformAnsiCodePage();
        const char* have = text + extensionStart_;
        int same = 1;
        for (int i = 0; i < extLength && same; ++i) {
            if (IsLeadByteOf(codePage, static_cast<unsigned char>(have[i])) && i + 1 < extLength) {
                same = have[i] == ext[i] && have[i + 1] == ext[i + 1];
                ++i;
            } else {
                same = AsciiLower(have[i]) == AsciiLower(ext[i]);
            }
        }
        if (same) return 1;
    }
    CArray<char> joined;
    if (!joined.Append(text, n) || !joined.Append(".", 1) || !joined.Append(ext, extLength + 1)) return 0;
    fullPath_.Clear();
    ClearPieces();
    SetPath(joined.Data());
    return 1;
}
