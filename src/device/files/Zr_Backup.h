// The whole-unit backup file ("bqv"): a 1024-byte header, then sections, each
// a 256-byte section head followed by records of a fixed size, each with a
// 34-byte record head. All values little-endian; text fields NUL-padded. The
// header's checksum is the 64-bit sum of every byte of the file except its
// own eight bytes.
//
// Writing goes into a temporary file of its own ("tempBackup-XXXXXX.VUR", a
// name no other backup shares) beside the chosen file, or in the documents
// folder when the destination is not known yet; it replaces the chosen file
// in one step at the end. A failed or abandoned backup leaves neither a
// temporary file nor a partial file at the chosen path, and nothing that was
// there before is removed or replaced unless the backup succeeds. Reading
// checks the header, the checksum and that every section and record lies
// inside the file before anything is handed out; a reader made by forReading
// makes no temporary file at all.
//
// One object per backup or restore, used from one thread at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

class Zr_Backup {
public:
  static constexpr size_t kHeaderSize = 1024;
  static constexpr size_t kSectionHeadSize = 256;
  static constexpr size_t kRecordHeadSize = 34;
  static constexpr size_t kMaxSections = 117;
  // Header bytes that must match the reader's own: magic, product name,
  // version, "BUFF".
  static constexpr size_t kIdentitySize = 76;
  static constexpr size_t kCheckSumOffset = 1016;
  // The temporary file's name: the prefix, six characters that make it
  // unique, the suffix.
  static constexpr const char* kTempFilePrefix = "tempBackup-";
  static constexpr const char* kTempFileSuffix = ".VUR";
  // Files larger than this are no backup of the unit; they are refused unread.
  static constexpr uintmax_t kMaxFileSize = 64u << 20;

  // The file header (`backupdata`).
  struct BackupData {
    std::array<uint8_t, 8> Zarvo{};
    std::array<uint8_t, 32> productName{};
    std::array<uint8_t, 32> productVersion{};
    std::array<uint8_t, 4> backupfile{};
    uint32_t typeSum = 0;
    std::array<uint64_t, kMaxSections> dataIndex{};
    uint64_t checkSum = 0;

    std::array<uint8_t, kHeaderSize> encode() const;
    static BackupData decode(std::span<const uint8_t, kHeaderSize> bytes);
  };

  // A section head (`subHeadData`).
  struct SubHeadData {
    std::array<uint8_t, 32> dataName{};
    uint16_t sendCMD = 0;
    uint16_t sendCMDFlag = 0;
    uint16_t callbackCMD = 0;
    uint16_t callbackCMDFlag = 0;
    uint32_t dataNumber = 0;
    uint32_t dataLength = 0;
    uint8_t dataType = 0;

    // The name up to its first NUL.
    std::string name() const;
    std::array<uint8_t, kSectionHeadSize> encode() const;
    static SubHeadData decode(std::span<const uint8_t, kSectionHeadSize> bytes);
  };

  // The record last read (`typeData`): its index and its data (`dataStart`).
  struct TypeData {
    int16_t index = 0;
    std::vector<uint8_t> dataStart;
  };

  // Writes `size` bytes at `offset` of an open file; false on any failure.
  using Writer = std::function<bool(int fd, const uint8_t* data, size_t size, uint64_t offset)>;

  struct Options {
    // Where the temporary file goes when no destination is given; empty:
    // the user's documents folder.
    std::filesystem::path documentsDir;
    // Empty: positional writes to the file.
    Writer writer;
    // The file the backup will replace: the temporary file goes into its
    // folder, so the last step is a rename there.
    std::filesystem::path destination{};
  };

  // A new backup or restore for the device name (up to its NUL, at most 32
  // bytes) and exactly `versionLen` version bytes (at most 32). Creates the
  // temporary file anew (and the documents folder when it is missing) and
  // writes the header; null when the file cannot be made.
  static std::shared_ptr<Zr_Backup> initWithBackupDevice(const char* device, const uint8_t* version, int versionLen);
  static std::shared_ptr<Zr_Backup> initWithBackupDevice(const char* device, const uint8_t* version, int versionLen,
                                                         Options options);
  // A reader for the device name and version: the same identity, no
  // temporary file (never null).
  static std::shared_ptr<Zr_Backup> forReading(const char* device, const uint8_t* version, int versionLen);
  // Removes the temporary file when it was not moved to its destination.
  ~Zr_Backup();
  Zr_Backup(const Zr_Backup&) = delete;
  Zr_Backup& operator=(const Zr_Backup&) = delete;

  // ---- Writing ----
  // Starts a section: records its offset in the header and writes its head.
  // False when the header has no room for another section or the write failed.
  bool setDataHeadForDataName(const char* name, int dataType, int dataLength, int dataNumber, int16_t sendCMD,
                              int16_t sendCMDFlag, int16_t revicedCMD, int16_t revicedCMDFlag);
  // Appends one record: its head with the index (low 16 bits), then the data.
  bool addData(const uint8_t* data, int datalen, int dataIndex);
  // Completes the header (section count, offsets, checksum) and puts the file
  // at `path`, replacing what is there in one step. NO, with the temporary
  // file removed and the destination untouched, when any write failed, the
  // file there may not be removed by this process ("没有删除权限"), or the
  // file cannot be put there.
  bool exportBackupFileForPath(const std::string& path);

  // ---- Reading ----
  // Reads and checks a backup file: its identity must equal this object's,
  // the checksum must match, and every section and record must lie inside
  // the file. On YES the header describes the file.
  bool readFile(const std::string& path);
  bool readData(std::span<const uint8_t> bytes);
  // Reads section `index`'s head into subHeadData.
  bool getSubHeadData(int index);
  // Reads record `record` of section `section` into typeData.
  bool getData(int section, int record);

  const BackupData& backupdata() const { return backupdata_; }
  const SubHeadData& subHeadData() const { return subHeadData_; }
  const TypeData& typeData() const { return typeData_; }
  void setBackupdata(const BackupData& d) { backupdata_ = d; }
  void setSubHeadData(const SubHeadData& d) { subHeadData_ = d; }
  void setTypeData(TypeData d) { typeData_ = std::move(d); }
  // The temporary file.
  const std::filesystem::path& filePath() const { return filePath_; }

  // Sum of the bytes, each 0..255.
  static uint64_t byteSum(std::span<const uint8_t> bytes);

private:
  Zr_Backup() = default;
  void setIdentity(const char* device, const uint8_t* version, int versionLen);
  bool createTemporary(const std::filesystem::path& dir);
  bool append(const uint8_t* data, size_t size);
  bool writeAt(const uint8_t* data, size_t size, uint64_t offset);
  void discardTemporary();
  bool checkLayout(const BackupData& header, std::span<const uint8_t> bytes) const;
  std::span<const uint8_t> sectionHeadBytes(int index) const;

  int fileHandle_ = -1;
  std::filesystem::path filePath_;
  uint64_t tempCheckSum_ = 0;
  uint64_t fileLength_ = 0;
  bool writeFailed_ = false;
  Writer writer_;

  BackupData backupdata_;
  SubHeadData subHeadData_;
  TypeData typeData_;
  // The file read by readFile, once it passed every check.
  std::vector<uint8_t> readBytes_;
};

using Zr_BackupPtr = std::shared_ptr<Zr_Backup>;
