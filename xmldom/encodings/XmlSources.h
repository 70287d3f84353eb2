// Byte edges of the XML library: TXmlOutputSource encodes the serializer's 16-bit text into a
// stream in the chosen encoding, TXmlInputSource reads a byte stream for the parsers (byte-order
// mark, XML or text declaration, decoding, line ends, locator). Both rest on small buffered
// stream classes, TdomCustomWriter and TdomCustomReader; neither owns its stream.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "XmlCharsets.h"
#include "XmlEncodings.h"
#include "XmlErrors.h"
#include "XmlStreams.h"
#include "XmlSupport.h"

namespace xmldom {

/// How the output source writes a line feed in single-byte encodings.
enum TdomNewLineType : uint8_t { nltCRLF = 0, ntlCR = 1, ntlLF = 2 };

/// Kinds of declaration an input source read (which parsers accept it).
inline constexpr uint8_t kDeclXml = 1;       ///< XML declaration only: documents
inline constexpr uint8_t kDeclText = 2;      ///< text declaration only: external entities
inline constexpr uint8_t kDeclXmlOrText = 3; ///< version and encoding: both
inline constexpr uint8_t kDeclNone = 4;      ///< no declaration: both

/// Buffered writing into a stream (not owned).
class TdomCustomWriter : public TObject {
public:
    /// A nil stream raises EStreamError "Stream not specified."; the buffer holds exactly
    /// BufferSize bytes (none when BufferSize is 0 or less: every write goes to the stream).
    TdomCustomWriter(TStream* Stream, int32_t BufferSize);
    /// Flushes and frees the buffer. A stream error here is swallowed: owners that must know
    /// call flush first.
    ~TdomCustomWriter() override;
    TdomCustomWriter(const TdomCustomWriter&) = delete;
    TdomCustomWriter& operator=(const TdomCustomWriter&) = delete;

    /// Writes the buffered bytes to the stream (EWriteError "Stream write error" when it takes
    /// fewer) and empties the buffer.
    virtual void flush();
    /// Buffers Count bytes; flushes first when they do not fit; bytes that exceed the whole
    /// buffer go straight to the stream.
    virtual void writeBytes(const void* Buffer, int32_t Count);

protected:
    TStream* FStream; ///< never nil
    std::unique_ptr<uint8_t[]> FBuffer;
    int32_t FUsed = 0;   ///< 0..FBufferSize
    int32_t FBufferSize; ///< >= 0
};

/// Writes 16-bit text into a stream in one of the encodings of XmlEncodings.h.
class TXmlOutputSource : public TdomCustomWriter {
public:
    /// New-line type nltCRLF, encoding 1 (UTF-8).
    TXmlOutputSource(TStream* Stream, int32_t BufferSize);

    /// Index 0, and any index without a byte form (not 1-4 and no single-byte set), raise
    /// ENot_Supported_Err "Encoding not supported error." and change nothing.
    virtual void setEncoding(uint8_t Index);
    virtual void setNewLine(TdomNewLineType Value);
    /// The plain write. A unit the encoding cannot hold raises EWriteError "Invalid Character";
    /// the bytes before it are written.
    virtual void writeText(std::u16string_view Text);
    /// The write of character data and attribute values: in single-byte sets a unit the set
    /// cannot hold, and a surrogate pair, become character references "&#x...;".
    virtual void writeTextWithReferences(std::u16string_view Text);

    /// Character data: carriage return, "&", "<" and ">" as references ("&#xD;", "&amp;",
    /// "&lt;", "&gt;"), the rest as writeTextWithReferences writes it.
    virtual void writeCharData(std::u16string_view Text);

    uint8_t getEncoding() const { return FEncoding; }
    TdomNewLineType getNewLine() const { return FNewLine; }

    // The serializer's own fast path, for UTF-8 output through this exact class: bytes of
    // ASCII markup and text encoded without a virtual call per piece. Same bytes, same errors
    // as writeText.
    /// Markup that is plain ASCII, written as its bytes.
    void putAscii(std::string_view Bytes) {
        const auto count = static_cast<int32_t>(Bytes.size());
        if (FBufferSize - FUsed >= count) {
            std::memcpy(FBuffer.get() + FUsed, Bytes.data(), Bytes.size());
            FUsed += count;
        } else {
            writeBytes(Bytes.data(), count);
        }
    }
    /// The text as writeText writes it in UTF-8.
    void putUTF8(std::u16string_view Text) { writeUTF8(Text, false); }
    /// The text as putUTF8 writes it; a short ASCII text (a name) is copied unit for byte.
    void putShortUTF8(std::u16string_view Text) {
        const auto count = static_cast<int32_t>(Text.size());
        if (count <= 64 && FBufferSize - FUsed >= count) {
            uint8_t* out = FBuffer.get() + FUsed;
            int32_t i = 0;
            for (; i < count && Text[i] < 0x80; ++i) out[i] = static_cast<uint8_t>(Text[i]);
            if (i == count) {
                FUsed += count;
                return;
            }
        }
        writeUTF8(Text, false);
    }
    /// Text the caller knows to be ASCII (every unit below 0x80), as its bytes: the short
    /// names and values of markup, without the general encoder's set-up.
    void putAsciiText(std::u16string_view Text) {
        const auto count = static_cast<int32_t>(Text.size());
        if (FBufferSize - FUsed < count) {
            if (FBufferSize < count) {
                writeUTF8(Text, false);
                return;
            }
            flush();
        }
        uint8_t* out = FBuffer.get() + FUsed;
        for (int32_t i = 0; i < count; ++i) out[i] = static_cast<uint8_t>(Text[i]);
        FUsed += count;
    }
    enum class TCheckedWrite { Written, NotXmlChars, NoRoom };
    /// Character data as writeCharData writes it in UTF-8, checked in the same pass: a text
    /// holding a unit that is no XML character (surrogates aside) writes nothing (NotXmlChars).
    /// NoRoom, with nothing written, when even an empty buffer cannot take the text's longest
    /// form (five bytes a unit).
    TCheckedWrite putCheckedCharData(std::u16string_view Text);

private:
    void writeSingleByte(std::u16string_view Text, bool WithReferences);
    /// CharData: the references of writeCharData as well.
    void writeUTF8(std::u16string_view Text, bool CharData);
    void writeUTF16(std::u16string_view Text, bool Exchanged);
    void writeUCS2WithReferences(std::u16string_view Text);

    uint8_t FEncoding = 1;
    TSingleByteEncoder FConverter = nullptr;      ///< nil for indices 1-4
    const TSingleByteCharset* FCharset = nullptr; ///< the converter's tables
    TdomNewLineType FNewLine = nltCRLF;
};

/// Buffered reading from a stream (not owned) that can give unread bytes back.
class TdomCustomReader : public TObject {
public:
    /// A nil stream raises EStreamError "Stream not specified."; the buffer holds exactly
    /// BufferSize bytes.
    TdomCustomReader(TStream* Stream, int32_t BufferSize);
    ~TdomCustomReader() override = default;
    TdomCustomReader(const TdomCustomReader&) = delete;
    TdomCustomReader& operator=(const TdomCustomReader&) = delete;

    /// Moves the stream back over the unread buffered bytes and empties the buffer.
    virtual void unreadBuffer();
    /// Copies Count bytes into Buffer. False at the end of the data; when the data ends inside
    /// the Count bytes, false and nothing is consumed (the bytes stay buffered). A Count larger
    /// than the buffer is read straight from the stream: true when it delivered any byte.
    virtual bool readBytes(void* Buffer, int32_t Count);

    /// The stream position minus the bytes still buffered.
    int64_t getPosition() const;
    /// Sets the stream position and empties the buffer.
    void seekTo(int64_t Position);

protected:
    /// One byte, from the buffer when it holds one.
    bool nextByte(uint8_t& Byte) {
        if (FReadPos < FAvailable) {
            Byte = FBuffer[FReadPos++];
            return true;
        }
        return readBytes(&Byte, 1);
    }
    /// Bytes buffered but not yet consumed.
    int32_t bufferedBytes() const { return FAvailable - FReadPos; }

    TStream* FStream; ///< never nil
    std::unique_ptr<uint8_t[]> FBuffer;
    int32_t FReadPos = 0;   ///< 0..FAvailable
    int32_t FAvailable = 0; ///< 0..FBufferSize
    int32_t FBufferSize;    ///< >= 0
};

/// ASCII characters at which TXmlInputSource::readPlainRun stops: the given ones, and always
/// the carriage return and the control characters that are no XML characters.
struct TXmlRunStops {
    bool Stop[128] = {};
    char Chars[3] = {}; ///< at most three; unused places repeat the first
    /// Each of Chars sixteen times, for the comparisons of sixteen bytes at once.
    alignas(16) char Splat[3][16] = {};
    constexpr explicit TXmlRunStops(std::string_view Given) {
        for (int c = 0; c < 0x20; ++c) Stop[c] = c != 0x09 && c != 0x0A;
        // None given: NUL, a stop already.
        for (size_t i = 0; i < 3; ++i) Chars[i] = Given.empty() ? '\0' : Given[i < Given.size() ? i : 0];
        for (char c : Given) Stop[static_cast<unsigned char>(c)] = true;
        for (size_t i = 0; i < 3; ++i)
            for (char& c : Splat[i]) c = Chars[i];
    }
};

/// Reads an XML document or external entity for the parsers: detects the byte-order mark,
/// reads the declaration, and hands out code points.
class TXmlInputSource : public TdomCustomReader, public TdomLocatorSource {
public:
    /// A nil stream raises EStreamError "Stream not specified.". Detects the mark and reads the
    /// declaration; a decoding error while doing so passes to the caller.
    TXmlInputSource(TStream* Stream, int32_t BufferSize, int32_t TabWidth, const WideString& PublicId,
                    const WideString& SystemId);
    ~TXmlInputSource() override;

    /// All code points from the current position (look-ahead included) to the end of the data;
    /// the reading position and look-ahead are restored afterwards, also when decoding raises.
    virtual void getRemainingText(WideString& Text);
    /// The next code point of the data by the encoding in force, without line-end handling or
    /// locator; -1 and false at the end. Decoding faults raise EConvertError with the position.
    virtual bool getNextCodePoint(int32_t& CodePoint);
    /// The next character with line ends normalized (CR and CR LF become LF); advances the
    /// locator. -1 and false at the end.
    virtual bool getNextChar(int32_t& CodePoint);
    /// getNextChar's common case inline: the next character when it is plain ASCII waiting in
    /// the buffer (no carriage return, no look-ahead, UTF-8); false, and nothing read, otherwise.
    bool takePlainAscii(int32_t& CodePoint) {
        if (FLookAhead != -1 || FEncoding != kEncodingUTF8 || FReadPos >= FAvailable) return false;
        const uint8_t b = FBuffer[FReadPos];
        if (b >= 0x80 || b == 0x0D) return false;
        ++FReadPos;
        FLocator->advance(b);
        CodePoint = b;
        return true;
    }
    /// A reader's fast path through plain text: appends to Text the XML characters of the
    /// buffered UTF-8 bytes up to the first that needs getNextChar (an ASCII character of
    /// Stops, a carriage return, a four-byte form, a sequence that is not well formed, U+FFFE,
    /// U+FFFF, the end of the buffer) and advances the locator over them, exactly as that many
    /// getNextChar calls would. The 16-bit encodings likewise, up to a surrogate, U+FFFE, U+FFFF,
    /// a stop or the last whole unit in the buffer. Returns the number of units appended (none
    /// for single-byte sets or with a look-ahead pending).
    std::size_t readPlainRun(WideString& Text, const TXmlRunStops& Stops);

    /// Carriage returns are passed on as they are, not made line feeds: for text that never was
    /// input with line ends, such as an entity's replacement text.
    void setKeepCarriageReturns(bool Value) { FKeepCarriageReturns = Value; }

    uint8_t getDeclarationKind() const { return FDeclarationKind; }
    uint8_t getEncoding() const { return FEncoding; }
    const WideString& getDeclaredEncoding() const { return FDeclaredEncoding; }
    const WideString& getDeclaredVersion() const { return FDeclaredVersion; }
    TdomStandalone getDeclaredStandalone() const { return FDeclaredStandalone; }
    /// Reading the declaration met a fault; parsers refuse the source.
    bool hasDeclarationFault() const { return FDeclarationFault; }
    /// The encoding in force is not the one the declaration asks for.
    bool hasEncodingMismatch() const { return FEncodingMismatch; }
    TdomInputSourceLocator* getLocator() const { return FLocator.get(); }
    const WideString& getPublicId() const { return FPublicId; }
    const WideString& getSystemId() const { return FSystemId; }
    /// The stream position where the content starts (after the mark and the declaration).
    int64_t getContentStart() const { return FContentStart; }
    /// The stream position at which reading began.
    int64_t getStartPosition() const { return FStartPosition; }

    int32_t getLocatorByteOffset() const override;
    WideString getLocatorSystemId() const override { return FSystemId; }

private:
    enum class TMark : uint8_t { None, UTF8, MachineOrder, Exchanged };

    TMark detectMark(bool& CutShort);
    void readDeclaration();
    bool readDeclarationBody(int32_t& C);
    bool readPseudoAttribute(int32_t& C, const char* Name, WideString& Value, bool (*First)(int32_t),
                             bool (*Rest)(int32_t));
    bool matchRest(int32_t& C, const char* Word);
    void skipWhiteSpace(int32_t& C);
    void applyDeclaredEncoding(TMark Mark);
    bool readUTF8(int32_t& CodePoint, uint8_t Lead);
    /// Decodes what the buffer holds of plain UTF-8 into Out (at most Room units); returns the
    /// units written.
    std::size_t decodeBufferedUTF8(char16_t* Out, std::size_t Room);
    /// readPlainRun in the 16-bit encodings.
    std::size_t readPlainRunUTF16(WideString& Text, const TXmlRunStops& Stops);
    bool readUTF16(int32_t& CodePoint, bool Exchanged);
    [[noreturn]] void raiseSequenceError(const char16_t* Pattern, int64_t Position);

    TSingleByteDecoder FDecoder = nullptr;
    const TSingleByteCharset* FCharset = nullptr; ///< the decoder's tables
    uint8_t FDeclarationKind = kDeclNone;
    uint8_t FEncoding = 1;
    WideString FDeclaredEncoding;
    WideString FDeclaredVersion;
    TdomStandalone FDeclaredStandalone = STANDALONE_UNSPECIFIED;
    bool FDeclarationFault = false;
    bool FEncodingMismatch = false;
    std::unique_ptr<TdomInputSourceLocator> FLocator;
    WideString FPublicId;
    WideString FSystemId;
    int32_t FLookAhead = -1; ///< -1 when empty
    bool FKeepCarriageReturns = false;
    int64_t FContentStart = 0;
    int64_t FStartPosition = 0;
};

/// The line ends of text read raw from an external entity (getRemainingText) made what an
/// input source delivers: CR LF and a lone CR become LF. A carriage return written as a
/// character reference is no line end and stays the reference.
void XmlNormalizeLineEnds(WideString& Text);

} // namespace xmldom
