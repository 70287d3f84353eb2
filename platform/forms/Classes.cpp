// Owned components and string lists of the component model.
#include "Classes.h"

#include <algorithm>
#include <cctype>

namespace {

int CompareFolded(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::toupper(static_cast<unsigned char>(a[i]));
        const int cb = std::toupper(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

const std::string kEmpty;

}  // namespace

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
    if (FOwner) FOwner->FComponents.push_back(this);
}

TComponent::~TComponent() {
    DestroyComponents();
    if (FOwner) {
        auto& list = FOwner->FComponents;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

void TComponent::DestroyComponents() {
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        FComponents.pop_back();
        c->FOwner = nullptr;
        delete c;
    }
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) return nullptr;
    return FComponents[static_cast<std::size_t>(index)];
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    for (TComponent* c : FComponents)
        if (CompareFolded(c->Name, name) == 0) return c;
    return nullptr;
}

const std::string& TStrings::operator[](int index) const {
    if (index < 0 || index >= Count()) return kEmpty;
    return FItems[static_cast<std::size_t>(index)];
}

int TStrings::Add(const std::string& s) {
    std::size_t at = FItems.size();
    if (FSorted) {
        auto it = std::upper_bound(FItems.begin(), FItems.end(), s,
                                   [](const std::string& a, const std::string& b) { return CompareFolded(a, b) < 0; });
        at = static_cast<std::size_t>(it - FItems.begin());
    }
    FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(at), s);
    Changed();
    return static_cast<int>(at);
}

void TStrings::Insert(int index, const std::string& s) {
    index = std::clamp(index, 0, Count());
    FItems.insert(FItems.begin() + index, s);
    Changed();
}

void TStrings::Delete(int index) {
    if (index < 0 || index >= Count()) return;
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TStrings::Clear() {
    if (FItems.empty()) return;
    FItems.clear();
    Changed();
}

int TStrings::IndexOf(const std::string& s) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (CompareFolded(FItems[i], s) == 0) return static_cast<int>(i);
    return -1;
}

void TStrings::SetSorted(bool value) {
    if (FSorted == value) return;
    FSorted = value;
    if (FSorted) {
        std::stable_sort(FItems.begin(), FItems.end(),
                         [](const std::string& a, const std::string& b) { return CompareFolded(a, b) < 0; });
        Changed();
    }
}

std::string TStrings::Text() const {
    std::string text;
    for (const std::string& item : FItems) text += item + "\r\n";
    return text;
}

void TStrings::SetText(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
    if (FSorted)
        std::stable_sort(lines.begin(), lines.end(),
                         [](const std::string& a, const std::string& b) { return CompareFolded(a, b) < 0; });
    if (lines == FItems) return;
    FItems = std::move(lines);
    Changed();
}

void TStrings::Changed() {
    if (OnChange) OnChange();
}
