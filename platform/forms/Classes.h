// Component model of the class library: objects, owned components, notify events and string
// lists. Everything in platform/forms and the checksheet's forms and data modules builds on it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

/// Root of every component. Polymorphic so that senders of events can be identified.
class TObject {
public:
    virtual ~TObject() = default;
};

/// An event without arguments beyond its sender; empty when not assigned.
using TNotifyEvent = std::function<void(TObject* Sender)>;

/// A component with an owner. The owner frees every component it owns when it is freed;
/// a component freed earlier removes itself from its owner's list.
class TComponent : public TObject {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    /// The index-th owned component, in the order of creation; nullptr out of range.
    TComponent* Components(int index) const;
    /// The owned component of that name (case-insensitive), or nullptr.
    TComponent* FindComponent(const std::string& name) const;

    std::string Name;
    int Tag = 0;

protected:
    /// Frees every owned component, newest first. Derived classes call it from their own
    /// destructor when owned components may still refer to them.
    void DestroyComponents();

private:
    TComponent* FOwner;
    std::vector<TComponent*> FComponents;
};

/// An ordered list of 8-bit strings, optionally kept sorted (case-insensitive, as the
/// platform's list sorting compares).
class TStrings {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    /// The index-th string; an empty string out of range.
    const std::string& operator[](int index) const;
    /// Adds a string (at its sorted place when Sorted) and returns its index.
    int Add(const std::string& s);
    void Insert(int index, const std::string& s);
    /// Removes the index-th string; an index out of range changes nothing.
    void Delete(int index);
    void Clear();
    /// Position of the first string equal to s (case-insensitive), -1 when absent.
    int IndexOf(const std::string& s) const;
    bool Sorted() const { return FSorted; }
    /// Switching sorting on sorts the present strings.
    void SetSorted(bool value);
    /// The strings joined, each ended by CR LF.
    std::string Text() const;
    /// Replaces the strings by the lines of a text (ended by CR LF, LF or CR; a final line end
    /// makes no extra empty string).
    void SetText(const std::string& text);
    /// Called after every change, so that a control can show the new list.
    std::function<void()> OnChange;

private:
    void Changed();
    std::vector<std::string> FItems;
    bool FSorted = false;
};
