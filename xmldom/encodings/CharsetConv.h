// Character-set conversion unit of the XML library: the registry component TCSMIB (MIB numbers
// of the registered character sets and their names), and the conversion streams, of which
// TUTF16BEToUTF8Stream turns 16-bit text written into it into UTF-8 bytes on its target.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "XmlComponents.h"
#include "XmlStreams.h"
#include "XmlSupport.h"

namespace xmldom {

/// A conversion stream refused an operation (missing target, odd byte count).
class EConversionStream : public EStreamError {
    using EStreamError::EStreamError;
};

/// A stream that converts bytes on their way through to a target stream (not owned).
/// The base class converts nothing.
class TConversionStream : public TStream {
public:
    /// A nil target raises EConversionStream "Must have a target stream".
    explicit TConversionStream(TStream* Target);

    /// Reads from the target, then lets convertReadBuffer work on the bytes read; returns the
    /// number read.
    int64_t Read(void* Buffer, int64_t Count) override;
    /// Lets convertWriteBuffer fill the conversion buffer and writes that to the target;
    /// returns Count when the target took all converted bytes, else minus what it took.
    int64_t Write(const void* Buffer, int64_t Count) override;
    /// Returns 0.
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    /// Converts the bytes just read in place; returns their new count (0 in the base class).
    virtual int32_t convertReadBuffer(void* Buffer, int32_t Count);
    /// Converts Count bytes into the conversion buffer; returns the converted byte count
    /// (0 in the base class).
    virtual int32_t convertWriteBuffer(const void* Buffer, int32_t Count);
    /// Reallocates the conversion buffer to Size bytes.
    virtual void setBufferSize(int32_t Size);

protected:
    TStream* FTarget;             ///< not owned, never nil
    std::vector<uint8_t> FBuffer; ///< the conversion buffer; its size is the buffer size
};

/// Converts 16-bit code units (machine order) written into it to UTF-8 on the target.
class TUTF16BEToUTF8Stream : public TConversionStream {
public:
    using TConversionStream::TConversionStream;

    /// Count 0 gives 0; an odd Count raises EConversionStream "Odd size not valid for
    /// WideString". A leading U+FEFF is skipped. A high surrogate without a low one raises
    /// EConvertError "High surrogate %4.4X without low surrogate.", a lone low surrogate
    /// "Low surrogate %4.4X without high surrogate."; nothing of such a write reaches the target.
    int32_t convertWriteBuffer(const void* Buffer, int32_t Count) override;
};

/// UTF-16 code units to UTF-8 with the rules of TUTF16BEToUTF8Stream, appended to Out
/// (unchanged when the conversion raises). SkipLeadingBOM false keeps a leading U+FEFF.
void appendUTF16AsUTF8(const char16_t* Units, std::size_t Count, std::string& Out,
                       bool SkipLeadingBOM = true);

/// Equality of two character-set names, ignoring the letter case of A-Z.
bool sameCharsetName(std::string_view A, std::string_view B);

using TCSMIBChangingEvent = std::function<void(TObject* Sender, int NewEnum, bool& AllowChange)>;

/// One MIB number of the character-set registry and its registered names. A component: with an
/// owner, the owner frees it.
class TCSMIB : public TdomBaseComponent {
public:
    /// Enum 3 (US-ASCII), set through SetEnum; IgnoreInvalidEnum false; no events.
    explicit TCSMIB(TdomBaseComponent* AOwner = nullptr);

    int getEnum() const { return FEnum; }
    bool IgnoreInvalidEnum = false;
    /// Asked before Enum changes; AllowChange comes in true.
    TCSMIBChangingEvent OnChanging;
    /// Told after Enum changed.
    TNotifyEvent OnChange;

    virtual void DoChange(TObject* Sender);
    virtual void DoChanging(TObject* Sender, int NewEnum, bool& AllowChange);
    /// The preferred MIME name of the current number; empty when it has none.
    virtual void getPreferredMIMEName(WideString& Name);
    /// The Index-th name (0: the registered name); beyond the names, or with an invalid
    /// current number, raises Exception "Invalid MIB number".
    virtual void getAlias(int Index, WideString& Name);
    virtual int getAliasCount();
    /// An invalid number raises Exception "Invalid MIB number" (nothing when IgnoreInvalidEnum);
    /// the current number changes nothing; otherwise OnChanging may veto, then OnChange.
    virtual void SetEnum(int Value);
    virtual void SetOnChange(TNotifyEvent Value);
    virtual void SetOnChanging(TCSMIBChangingEvent Value);
    /// 3-106, 109-112, 1000-1015, 2000-2101, 2250-2259.
    virtual bool isValidEnum(int Value);
    /// Steps through the valid numbers in ascending order until one of them has a name equal
    /// to Alias (ignoring letter case); true with Enum there, else false with Enum restored.
    virtual bool setToAlias(std::string_view Alias);

private:
    int FEnum = 0;
};

} // namespace xmldom
