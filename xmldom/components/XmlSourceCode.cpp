// The pieces of a source code and their joined text.

#include "XmlSourceCode.h"

namespace xmldom {

TXmlSourceCodePiece* TXmlSourceCode::add(const WideString& Text) {
    FPieces.push_back(std::make_unique<TXmlSourceCodePiece>(Text));
    return FPieces.back().get();
}

TXmlSourceCodePiece* TXmlSourceCode::item(int Index) const {
    if (Index < 0 || Index >= getCount()) return nullptr;
    return FPieces[static_cast<size_t>(Index)].get();
}

WideString TXmlSourceCode::getText() const {
    size_t length = 0;
    for (const auto& piece : FPieces) length += piece->getText().size();
    WideString result;
    result.reserve(length);
    for (const auto& piece : FPieces) result += piece->getText();
    return result;
}

} // namespace xmldom
