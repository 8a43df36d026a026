#include "automation/TrafficSubscribers.h"

namespace tarvik {

void CTrafficSubscribers::SetSource(ITrafficSource* source) {
    source_ = source;
    Update();
}

void CTrafficSubscribers::Subscribe(const std::string& connection) {
    connections_.insert(connection);
    Update();
}

void CTrafficSubscribers::Unsubscribe(const std::string& connection) {
    connections_.erase(connection);
    Update();
}

void CTrafficSubscribers::Update() {
    ITrafficSource* wanted = connections_.empty() ? nullptr : source_;
    if (wanted == watching_) return;
    if (watching_) watching_->Detach(relay_);
    watching_ = wanted;
    if (watching_) watching_->Attach(relay_);
}

}  // namespace tarvik
