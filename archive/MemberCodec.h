// Member codec of the archive library: the signature and block framing of coded members, the
// block decoder used by ArcDump::ExtractFile, and the producing side (block encoder, whole-file
// routines) that makes coded streams. None of these is exported from libPAKRIN32.so.
#pragma once

#include <cstdint>

/// Largest amount of data a block carries and the largest amount it decodes to.
inline constexpr int kBlockSize = 16384;
/// Size of the signature that opens every coded member.
inline constexpr int kSignatureSize = 9;
/// Slots of the encoder's hash table.
inline constexpr int kHashSlots = 4096;

/// The signature: 0x01, "OruCOMP", 0x01.
extern const unsigned char MemberSignature[kSignatureSize];

/// Decodes `length` coded bytes into `output` (room for kBlockSize bytes). Returns the number of
/// bytes produced, or -1 when the data lies outside the format (operands past the coded bytes, a
/// reference reaching before the start of the output, output beyond kBlockSize); nothing is ever
/// written past output + kBlockSize.
int DecompressBlock(const unsigned char* input, int length, unsigned char* output);

/// Reads one block of a member from `file` (at its current position) and leaves its decoded bytes
/// in `output`. `remaining` counts the member's bytes not yet read and is reduced by what the block
/// takes. Returns the block's output size (> 0), 0 at the end of the member (end mark, or the
/// member's bytes used up), or -1 when the block cannot be read whole or is not a valid block
/// (header beyond kBlockSize, data crossing the member's end, short read, bad coded data).
int ReadBlock(int file, unsigned char* coded, unsigned char* output, std::int64_t& remaining);

/// Returns 1 when the member (of `length` bytes, at the file's position) begins with the signature.
/// When the member has at least kSignatureSize bytes they are read and `remaining` reduced by them.
int CheckSignature(int file, std::uint64_t length, std::int64_t& remaining);

/// Decodes the member of `length` bytes at the current position of `file` into a new file at
/// `path`. Returns 0 done, -2 the output file cannot be created or written, -3 the member ended
/// before its end mark or holds a bad block (the output written so far stays), -4 no memory for the
/// work buffers (no file is created), -5 the member does not begin with the signature (the output
/// file is deleted again).
int ExtractMember(int file, std::uint64_t length, const char* path);

/// Encodes `length` (at most kBlockSize) bytes of `input` into `output` (room for kBlockSize
/// bytes). `hash` is the caller's table of kHashSlots positions. Returns the coded length (> 0),
/// or minus the length when the bytes are stored as they are (copied to output).
int CompressBlock(const unsigned char* input, int length, unsigned char* output, std::int32_t* hash);

/// Writes a block: the signed 16-bit `result` of CompressBlock as header, then abs(result) bytes
/// of `data`. Returns true when everything was written.
bool WriteBlock(int file, int result, const unsigned char* data);

/// Writes the signature. Returns true when all of it was written.
bool WriteSignature(int file);

/// Codes the file at `input` into a new file at `output`: signature, blocks of kBlockSize input
/// bytes, end mark. Returns 0 done, -1 input not opened, -2 output not created or not written.
int CompressFile(const char* input, const char* output);

/// Decodes a coded file (signature required) into a new file. Returns 0 done, -1 input not opened,
/// -2 output not created or not written, -3 bad or missing block, -4 no buffers, -5 no signature
/// (output deleted).
int DecompressFile(const char* input, const char* output);
