#include "net/http_abort_group.h"

#include "net/http_client.h"

namespace kelvra::frontend {

HttpAbortGroup::Watch::Watch(HttpAbortGroup* group, HttpClient& client) : group_(group), client_(client) {
  if (group_ == nullptr) return;
  std::lock_guard lock(group_->mutex_);
  if (group_->aborted_) client_.abort();
  group_->clients_.push_back(&client_);
}

HttpAbortGroup::Watch::~Watch() {
  if (group_ == nullptr) return;
  std::lock_guard lock(group_->mutex_);
  std::erase(group_->clients_, &client_);
}

// Under the lock, so that no watched client is destroyed while it is aborted.
void HttpAbortGroup::abortAll() {
  std::lock_guard lock(mutex_);
  aborted_ = true;
  for (HttpClient* client : clients_) client->abort();
}

bool HttpAbortGroup::aborted() const {
  std::lock_guard lock(mutex_);
  return aborted_;
}

}  // namespace kelvra::frontend
