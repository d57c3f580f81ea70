// A small reader of PE files (executables and DLLs), 32-bit (PE32) and 64-bit
// (PE32+) alike, that works on the file's bytes, without loading the module. Every read is checked against the
// file size, so damaged files give empty results rather than crashes.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace wintest {

// The machine type of the images this build makes, the test programs' own
// included.
#ifdef _WIN64
constexpr WORD kBuildMachine = IMAGE_FILE_MACHINE_AMD64;
#else
constexpr WORD kBuildMachine = IMAGE_FILE_MACHINE_I386;
#endif

struct PeImport {
    std::string dll;                // as written in the import table
    std::vector<std::string> names; // functions imported by name
    std::vector<WORD> ordinals;     // functions imported by ordinal only
};

class PeImage {
public:
    bool Load(const std::string& path);
    bool LoadData(const void* data, size_t size);
    bool IsLoaded() const { return loaded_; }

    std::vector<PeImport> Imports() const;

    // Exported names in the order of the export name table.
    std::vector<std::string> ExportNames() const;
    // Every exported function as (ordinal, name), ordered by ordinal; the name
    // is "" for functions exported by ordinal only.
    std::vector<std::pair<WORD, std::string>> Exports() const;
    // For an export forwarded to another module, its target ("DLL.Name");
    // "" when the name is not exported or is the module's own code.
    std::string Forwarder(const std::string& name) const;
    // The module name recorded in the export directory ("" if none).
    std::string ExportDllName() const;

    WORD Machine() const { return file_.Machine; }
    WORD Characteristics() const { return file_.Characteristics; }
    WORD Subsystem() const { return subsystem_; }
    // A PE32+ image (64-bit), as opposed to PE32.
    bool Is64() const { return magic_ == IMAGE_NT_OPTIONAL_HDR64_MAGIC; }
    bool IsDll() const { return (file_.Characteristics & IMAGE_FILE_DLL) != 0; }

    // Case-insensitive on the DLL name; exact on the function name.
    bool ImportsDll(const std::string& dll) const;
    bool ImportsFunction(const std::string& dll, const std::string& name) const;

private:
    void Clear();
    bool Parse();
    template <typename OptionalHeader>
    bool ReadOptionalHeader(size_t offset);
    bool Read(size_t offset, void* out, size_t n) const;
    bool RvaToOffset(DWORD rva, size_t* offset) const;
    bool ReadRva(DWORD rva, void* out, size_t n) const;
    bool StringAt(DWORD rva, std::string* out) const;
    bool Directory(int index, IMAGE_DATA_DIRECTORY* dir) const;

    bool loaded_ = false;
    std::vector<unsigned char> bytes_;
    IMAGE_FILE_HEADER file_ = {};
    // What is read of the optional header, whose layout differs between
    // PE32 and PE32+.
    WORD magic_ = 0;
    WORD subsystem_ = 0;
    DWORD sizeOfHeaders_ = 0;
    DWORD directoryCount_ = 0;
    IMAGE_DATA_DIRECTORY directories_[IMAGE_NUMBEROF_DIRECTORY_ENTRIES] = {};
    std::vector<IMAGE_SECTION_HEADER> sections_;
};

} // namespace wintest
