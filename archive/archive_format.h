// The RAR 2.0 archive layout: the marker, block types, header flags, file
// attributes, methods, host systems and the fixed sizes of the headers. The
// reader, the writer and the tool take every number of the layout from here.
#pragma once
#include <cstdint>

// The 7 bytes that open every archive ("Rar!" 1A 07 00).
constexpr uint8_t kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};

// Block types (HEAD_TYPE).
enum : uint8_t {
    kBlockMain = 0x73,  // the main header, right after the marker
    kBlockFile = 0x74,  // one file entry: header, name, packed data
    kBlockSub = 0x77,   // a sub-block: skipped
    kBlockEnd = 0x7B,   // end of archive: whatever follows (a signature) is not read
};

// Fixed header sizes in bytes.
enum : int {
    kMarkerSize = 7,         // the marker
    kBlockHeaderSize = 7,    // HEAD_CRC, HEAD_TYPE, HEAD_FLAGS, HEAD_SIZE: the least any block has
    kMainHeaderSize = 13,    // the main header's fixed part
    kFileHeaderSize = 32,    // a file header's fixed part, before the name
    kMaxEntryName = 259,     // the longest entry name the reader keeps
};

// Header flags (HEAD_FLAGS).
enum : uint16_t {
    kMainFlagSolid = 0x0008,                // main header: the archive is solid
    kFileFlagContinuedFromPrevious = 0x0001,  // file: continued from the previous volume
    kFileFlagContinuesInNext = 0x0002,      // file: continues in the next volume
    kFileFlagEncrypted = 0x0004,            // file: the data is encrypted
    kFileFlagSolid = 0x0010,                // file: continues the dictionary of the entries before
    kFileFlagDictionaryMask = 0x00E0,       // file: dictionary size bits; all set marks a directory
    kFileFlagDictionary1M = 0x0080,         // file: dictionary of 1 MB
    kEndBlockFlags = 0x4000,                // end block: the flags the writer gives it
    kFlagHasData = 0x8000,                  // any block: PACK_SIZE bytes follow the header
};

// File attributes (ATTR), as Windows has them.
enum : uint32_t {
    kAttributeReadOnly = 0x01,     // read-only
    kAttributeVolumeLabel = 0x08,  // a volume label: carries no contents
    kAttributeDirectory = 0x10,    // a folder: carries no contents
    kAttributeArchive = 0x20,      // an ordinary file
};

// Methods (METHOD), host systems (HOST_OS) and unpack versions (UNP_VER).
enum : uint8_t {
    kMethodStored = 0x30,          // the data is the file itself
    kMethodBest = 0x35,            // compressed, best method (every value but 0x30 is decoded alike)
    kHostWin32 = 2,                // attributes are Windows attributes
    kHostFirstForeign = 3,         // from here on attributes are not Windows attributes
    kOldestDecodedVersion = 16,    // older unpack versions are not decoded
    kUnpackVersion20 = 20,         // the version this reader decodes and the writer writes
};
