// Source code held as an ordered list of pieces, each with its text: what the parser components
// read when they are handed source code rather than a stream or a string. Only the pieces and
// their joined text are kept here.
#pragma once

#include <memory>
#include <vector>

#include "XmlSupport.h"

namespace xmldom {

/// One piece of source code: a run of its text.
class TXmlSourceCodePiece : public TObject {
public:
    explicit TXmlSourceCodePiece(const WideString& Text = WideString()) : FText(Text) {}

    const WideString& getText() const { return FText; }
    void setText(const WideString& Value) { FText = Value; }

private:
    WideString FText;
};

/// The pieces of a source code in order; owns them.
class TXmlSourceCode : public TObject {
public:
    TXmlSourceCode() = default;
    TXmlSourceCode(const TXmlSourceCode&) = delete;
    TXmlSourceCode& operator=(const TXmlSourceCode&) = delete;

    /// Appends a new piece with the text and returns it (owned by the source code).
    TXmlSourceCodePiece* add(const WideString& Text);
    /// Frees every piece.
    void clear() { FPieces.clear(); }
    int getCount() const { return static_cast<int>(FPieces.size()); }
    /// The piece at Index; nil outside the range.
    TXmlSourceCodePiece* item(int Index) const;
    /// The texts of the pieces joined in order.
    WideString getText() const;

private:
    std::vector<std::unique_ptr<TXmlSourceCodePiece>> FPieces;
};

} // namespace xmldom
