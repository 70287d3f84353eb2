// Owner and free-notification links of the XML library's components.

#include "XmlComponents.h"

#include <algorithm>

namespace xmldom {

TdomBaseComponent::TdomBaseComponent(TdomBaseComponent* AOwner) {
    if (AOwner) AOwner->insertComponent(this);
}

TdomBaseComponent::~TdomBaseComponent() {
    FDestroying = true;
    // Owned components go first, the last created first; each leaves this list itself.
    while (!FComponents.empty()) delete FComponents.back();
    // Everyone linked to this component learns that it is going and forgets it.
    while (!FFreeNotifies.empty()) {
        TdomBaseComponent* other = FFreeNotifies.back();
        FFreeNotifies.pop_back();
        other->dropLink(this);
        other->Notification(this, opRemove);
    }
    if (FOwner) FOwner->removeComponent(this);
}

void TdomBaseComponent::FreeNotification(TdomBaseComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
    if (std::find(AComponent->FFreeNotifies.begin(), AComponent->FFreeNotifies.end(), this) ==
        AComponent->FFreeNotifies.end())
        AComponent->FFreeNotifies.push_back(this);
}

void TdomBaseComponent::RemoveFreeNotification(TdomBaseComponent* AComponent) {
    if (!AComponent || AComponent == this) return;
    // The owner relation keeps its own notification.
    if (AComponent == FOwner || AComponent->FOwner == this) return;
    dropLink(AComponent);
    AComponent->dropLink(this);
}

void TdomBaseComponent::Notification(TdomBaseComponent*, TOperation) {}

void TdomBaseComponent::insertComponent(TdomBaseComponent* AComponent) {
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
    Notification(AComponent, opInsert);
}

void TdomBaseComponent::removeComponent(TdomBaseComponent* AComponent) {
    auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
    if (it == FComponents.end()) return;
    FComponents.erase(it);
    AComponent->FOwner = nullptr;
    // While this component is being destroyed its own overrides are gone; only the base runs.
    Notification(AComponent, opRemove);
}

void TdomBaseComponent::dropLink(TdomBaseComponent* AComponent) {
    auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
    if (it != FFreeNotifies.end()) FFreeNotifies.erase(it);
}

} // namespace xmldom
