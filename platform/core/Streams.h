// Byte streams of the class library: the abstract stream with its raising reads and writes, a
// file stream and a memory stream. Picture classes, the image readers and the XML library
// read and write through them.
#pragma once

#include "Exceptions.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

/// Abstract stream. Read/Write move as many bytes as they can and return the count;
/// ReadBuffer/WriteBuffer raise EReadError "Stream read error" / EWriteError "Stream write error"
/// when fewer bytes moved than asked.
class TStream {
public:
    virtual ~TStream() = default;
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    /// New position; seeking before the start clamps to 0.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    /// Sets the size; a stream that cannot change its size ignores it.
    virtual void SetSize(int64_t) {}

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, soBeginning); }
    virtual int64_t Size();
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    /// Copies count bytes from source (count 0: all of source from its start).
    int64_t CopyFrom(TStream& source, int64_t count);
};

constexpr unsigned fmOpenRead = 0x0000;
constexpr unsigned fmOpenWrite = 0x0001;
constexpr unsigned fmOpenReadWrite = 0x0002;
constexpr unsigned fmCreate = 0xFF00;

/// A file on disk. Opening for reading finds the file whatever the letter case of its last
/// path component. Raises EFOpenError `Cannot open file "<name>". <reason>` or EFCreateError
/// `Cannot create file "<name>". <reason>`. A seek the file refuses leaves the position
/// where it was.
class TFileStream : public TStream {
public:
    TFileStream(const std::string& fileName, unsigned mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    const std::string& FileName() const { return FFileName; }

private:
    std::FILE* FFile = nullptr;
    std::string FFileName;
};

/// A growable block of memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> data) : FData(std::move(data)) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(FData.size()); }

    void SetSize(int64_t size) override;
    void Clear() { FData.clear(); FPosition = 0; }
    const uint8_t* Memory() const { return FData.data(); }
    uint8_t* Memory() { return FData.data(); }
    void LoadFromFile(const std::string& fileName);
    void LoadFromStream(TStream& stream);
    void SaveToFile(const std::string& fileName);

private:
    std::vector<uint8_t> FData;
    int64_t FPosition = 0;
};

