#include "pe_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>

namespace wintest {

namespace {
// Caps on table walks, so that a damaged file cannot make a walk run away.
const size_t kMaxDescriptors = 4096;
const size_t kMaxThunks = 65536;
const size_t kMaxExports = 65536;
const size_t kMaxName = 4096;

bool SameDll(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}
} // namespace

bool PeImage::Load(const std::string& path) {
    loaded_ = false;
    bytes_.clear();
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<unsigned char> data;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
    const bool readOk = !std::ferror(f);
    std::fclose(f);
    if (!readOk) return false;
    return LoadData(data.data(), data.size());
}

bool PeImage::LoadData(const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    bytes_.assign(p, p + size);
    Clear();
    loaded_ = Parse();
    if (!loaded_) {
        bytes_.clear();
        Clear();
    }
    return loaded_;
}

void PeImage::Clear() {
    file_ = IMAGE_FILE_HEADER{};
    magic_ = subsystem_ = 0;
    sizeOfHeaders_ = directoryCount_ = 0;
    std::fill(std::begin(directories_), std::end(directories_), IMAGE_DATA_DIRECTORY{});
    sections_.clear();
}

// Takes what the reader uses from an optional header of either layout; the
// header may be shorter than the structure (fewer data directories), and
// what is missing stays zero.
template <typename OptionalHeader>
bool PeImage::ReadOptionalHeader(size_t offset) {
    OptionalHeader opt = {};
    const size_t optSize = (std::min)(size_t(file_.SizeOfOptionalHeader), sizeof opt);
    if (!Read(offset, &opt, optSize)) return false;
    subsystem_ = opt.Subsystem;
    sizeOfHeaders_ = opt.SizeOfHeaders;
    directoryCount_ = opt.NumberOfRvaAndSizes;
    std::copy(std::begin(opt.DataDirectory), std::end(opt.DataDirectory), std::begin(directories_));
    return true;
}

bool PeImage::Parse() {
    IMAGE_DOS_HEADER dos;
    if (!Read(0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0)
        return false;
    size_t off = size_t(dos.e_lfanew);
    DWORD signature = 0;
    if (!Read(off, &signature, sizeof signature) || signature != IMAGE_NT_SIGNATURE) return false;
    off += sizeof signature;
    if (!Read(off, &file_, sizeof file_)) return false;
    off += sizeof file_;

    if (file_.SizeOfOptionalHeader < sizeof magic_ || !Read(off, &magic_, sizeof magic_)) return false;
    if (magic_ == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        if (!ReadOptionalHeader<IMAGE_OPTIONAL_HEADER32>(off)) return false;
    } else if (magic_ == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        if (!ReadOptionalHeader<IMAGE_OPTIONAL_HEADER64>(off)) return false;
    } else {
        return false;
    }
    off += file_.SizeOfOptionalHeader;

    for (WORD i = 0; i < file_.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER s;
        if (!Read(off + size_t(i) * sizeof s, &s, sizeof s)) return false;
        sections_.push_back(s);
    }
    return true;
}

bool PeImage::Read(size_t offset, void* out, size_t n) const {
    if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
    if (n) std::memcpy(out, bytes_.data() + offset, n);
    return true;
}

bool PeImage::RvaToOffset(DWORD rva, size_t* offset) const {
    for (const IMAGE_SECTION_HEADER& s : sections_) {
        const DWORD span = (std::max)(s.Misc.VirtualSize, s.SizeOfRawData);
        if (rva >= s.VirtualAddress && rva - s.VirtualAddress < span) {
            const DWORD delta = rva - s.VirtualAddress;
            if (delta >= s.SizeOfRawData) return false; // zero-filled, not in the file
            *offset = size_t(s.PointerToRawData) + delta;
            return *offset < bytes_.size();
        }
    }
    // The headers are mapped at the start of the image as they are in the file.
    if (rva < sizeOfHeaders_ && rva < bytes_.size()) {
        *offset = rva;
        return true;
    }
    return false;
}

bool PeImage::ReadRva(DWORD rva, void* out, size_t n) const {
    size_t off;
    return RvaToOffset(rva, &off) && Read(off, out, n);
}

bool PeImage::StringAt(DWORD rva, std::string* out) const {
    size_t off;
    if (!RvaToOffset(rva, &off)) return false;
    out->clear();
    for (size_t i = 0; i < kMaxName && off + i < bytes_.size(); ++i) {
        const char c = char(bytes_[off + i]);
        if (c == '\0') return true;
        out->push_back(c);
    }
    return false; // no terminator within bounds
}

bool PeImage::Directory(int index, IMAGE_DATA_DIRECTORY* dir) const {
    if (!loaded_ || DWORD(index) >= directoryCount_ || index >= IMAGE_NUMBEROF_DIRECTORY_ENTRIES)
        return false;
    *dir = directories_[index];
    return dir->VirtualAddress != 0;
}

std::vector<PeImport> PeImage::Imports() const {
    std::vector<PeImport> result;
    IMAGE_DATA_DIRECTORY dir;
    if (!Directory(IMAGE_DIRECTORY_ENTRY_IMPORT, &dir)) return result;

    for (size_t i = 0; i < kMaxDescriptors; ++i) {
        IMAGE_IMPORT_DESCRIPTOR d;
        if (!ReadRva(dir.VirtualAddress + DWORD(i * sizeof d), &d, sizeof d)) break;
        if (d.Name == 0 && d.FirstThunk == 0) break; // terminating entry
        PeImport imp;
        if (!StringAt(d.Name, &imp.dll)) continue;
        // The lookup table (OriginalFirstThunk) keeps the names even in bound
        // images; old linkers leave it zero and only fill FirstThunk.
        // Its entries are 32 bits wide in PE32, 64 in PE32+, with the
        // by-ordinal flag in the top bit.
        const DWORD thunks = d.OriginalFirstThunk ? d.OriginalFirstThunk : d.FirstThunk;
        const size_t thunkSize = Is64() ? 8 : 4;
        const ULONGLONG byOrdinal = Is64() ? IMAGE_ORDINAL_FLAG64 : IMAGE_ORDINAL_FLAG32;
        for (size_t t = 0; t < kMaxThunks; ++t) {
            ULONGLONG thunk = 0;
            if (!ReadRva(thunks + DWORD(t * thunkSize), &thunk, thunkSize) || thunk == 0) break;
            if (thunk & byOrdinal) {
                imp.ordinals.push_back(WORD(thunk & 0xFFFF));
            } else {
                std::string name;
                if (StringAt(DWORD(thunk) + sizeof(WORD), &name)) imp.names.push_back(name); // skip the hint
            }
        }
        result.push_back(std::move(imp));
    }
    return result;
}

std::vector<std::pair<WORD, std::string>> PeImage::Exports() const {
    std::vector<std::pair<WORD, std::string>> result;
    IMAGE_DATA_DIRECTORY dir;
    IMAGE_EXPORT_DIRECTORY ed;
    if (!Directory(IMAGE_DIRECTORY_ENTRY_EXPORT, &dir) || !ReadRva(dir.VirtualAddress, &ed, sizeof ed))
        return result;

    // Name table entries point (through the name-ordinal table) at indexes of
    // the address table; an export's ordinal is Base + that index.
    std::map<DWORD, std::string> nameOfIndex;
    const DWORD names = (std::min)(ed.NumberOfNames, DWORD(kMaxExports));
    for (DWORD i = 0; i < names; ++i) {
        DWORD nameRva = 0;
        WORD index = 0;
        std::string name;
        if (!ReadRva(ed.AddressOfNames + i * 4, &nameRva, 4) ||
            !ReadRva(ed.AddressOfNameOrdinals + i * 2, &index, 2) || !StringAt(nameRva, &name))
            break;
        nameOfIndex.emplace(index, name);
    }

    const DWORD functions = (std::min)(ed.NumberOfFunctions, DWORD(kMaxExports));
    for (DWORD i = 0; i < functions; ++i) {
        DWORD address = 0;
        if (!ReadRva(ed.AddressOfFunctions + i * 4, &address, 4)) break;
        if (address == 0) continue; // unused slot
        auto it = nameOfIndex.find(i);
        result.emplace_back(WORD(ed.Base + i), it == nameOfIndex.end() ? std::string() : it->second);
    }
    std::sort(result.begin(), result.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return result;
}

std::vector<std::string> PeImage::ExportNames() const {
    std::vector<std::string> result;
    IMAGE_DATA_DIRECTORY dir;
    IMAGE_EXPORT_DIRECTORY ed;
    if (!Directory(IMAGE_DIRECTORY_ENTRY_EXPORT, &dir) || !ReadRva(dir.VirtualAddress, &ed, sizeof ed))
        return result;
    const DWORD names = (std::min)(ed.NumberOfNames, DWORD(kMaxExports));
    for (DWORD i = 0; i < names; ++i) {
        DWORD nameRva = 0;
        std::string name;
        if (!ReadRva(ed.AddressOfNames + i * 4, &nameRva, 4) || !StringAt(nameRva, &name)) break;
        result.push_back(name);
    }
    return result;
}

std::string PeImage::Forwarder(const std::string& name) const {
    IMAGE_DATA_DIRECTORY dir;
    IMAGE_EXPORT_DIRECTORY ed;
    if (!Directory(IMAGE_DIRECTORY_ENTRY_EXPORT, &dir) || !ReadRva(dir.VirtualAddress, &ed, sizeof ed))
        return "";
    const DWORD names = (std::min)(ed.NumberOfNames, DWORD(kMaxExports));
    for (DWORD i = 0; i < names; ++i) {
        DWORD nameRva = 0, address = 0;
        WORD index = 0;
        std::string candidate, target;
        if (!ReadRva(ed.AddressOfNames + i * 4, &nameRva, 4) || !StringAt(nameRva, &candidate)) break;
        if (candidate != name) continue;
        // A forwarded export's address points at its target's name inside
        // the export directory itself.
        if (!ReadRva(ed.AddressOfNameOrdinals + i * 2, &index, 2) ||
            !ReadRva(ed.AddressOfFunctions + index * 4, &address, 4))
            return "";
        const bool inDirectory = address >= dir.VirtualAddress && address < dir.VirtualAddress + dir.Size;
        return inDirectory && StringAt(address, &target) ? target : "";
    }
    return "";
}

std::string PeImage::ExportDllName() const {
    IMAGE_DATA_DIRECTORY dir;
    IMAGE_EXPORT_DIRECTORY ed;
    std::string name;
    if (!Directory(IMAGE_DIRECTORY_ENTRY_EXPORT, &dir) || !ReadRva(dir.VirtualAddress, &ed, sizeof ed) ||
        !StringAt(ed.Name, &name))
        return std::string();
    return name;
}

bool PeImage::ImportsDll(const std::string& dll) const {
    for (const PeImport& imp : Imports())
        if (SameDll(imp.dll, dll)) return true;
    return false;
}

bool PeImage::ImportsFunction(const std::string& dll, const std::string& name) const {
    for (const PeImport& imp : Imports())
        if (SameDll(imp.dll, dll) &&
            std::find(imp.names.begin(), imp.names.end(), name) != imp.names.end())
            return true;
    return false;
}

} // namespace wintest
