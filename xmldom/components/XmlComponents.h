// The component base of the XML library: a component may have an owner that frees it, and may
// ask to be told when another component is freed, so that references to it (a writer's
// implementation, a reader's or handler's next handler) never outlive it.
#pragma once

#include <vector>

#include "XmlSupport.h"

namespace xmldom {

/// What happened to the component a notification names.
enum TOperation : uint8_t { opInsert = 0, opRemove = 1 };

/// Common base of the library's components.
/// Invariants: a component is in its owner's component list exactly while its owner is set;
/// free-notification links are kept on both sides and are dropped when either side goes.
class TdomBaseComponent : public TPersistent {
public:
    /// With an owner, the owner frees this component when it is freed itself.
    explicit TdomBaseComponent(TdomBaseComponent* AOwner = nullptr);
    /// Frees the owned components (last first), tells every component linked by
    /// free-notification (Notification with opRemove) and leaves the owner's list.
    ~TdomBaseComponent() override;
    TdomBaseComponent(const TdomBaseComponent&) = delete;
    TdomBaseComponent& operator=(const TdomBaseComponent&) = delete;

    /// Asks to be told (Notification) when AComponent is freed; the link goes both ways.
    void FreeNotification(TdomBaseComponent* AComponent);
    /// Drops the link that FreeNotification made, unless AComponent is this one's owner or
    /// owned by it.
    void RemoveFreeNotification(TdomBaseComponent* AComponent);

    TdomBaseComponent* getOwner() const { return FOwner; }
    int getComponentCount() const { return static_cast<int>(FComponents.size()); }
    TdomBaseComponent* getComponent(int Index) const { return FComponents.at(static_cast<size_t>(Index)); }

protected:
    /// Called when a linked or owned component is inserted or is being freed. Descendants that
    /// keep references clear them here and call the inherited operation.
    virtual void Notification(TdomBaseComponent* AComponent, TOperation Operation);

private:
    void insertComponent(TdomBaseComponent* AComponent);
    void removeComponent(TdomBaseComponent* AComponent);
    void dropLink(TdomBaseComponent* AComponent);

    TdomBaseComponent* FOwner = nullptr;
    std::vector<TdomBaseComponent*> FComponents;    ///< owned, in creation order
    std::vector<TdomBaseComponent*> FFreeNotifies;  ///< linked both ways
    bool FDestroying = false;
};

} // namespace xmldom
