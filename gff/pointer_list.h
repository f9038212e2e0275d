// A doubly linked list of owned elements, appended at the tail.
//
// The shell's region list and the container's chunk directory are such lists. Each node owns
// its element; clearing the list frees every node and its element. The list keeps the order of
// appending, and the shell walks it node by node along `next` and `prev`.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>

namespace karst {

template <typename T>
struct PointerListNode {
  std::unique_ptr<PointerListNode> next;  // following node; null at the tail
  PointerListNode* prev = nullptr;        // preceding node; null at the head
  std::unique_ptr<T> data;                // the element
};

template <typename T>
class PointerList {
 public:
  using Node = PointerListNode<T>;

  // Every list owns its elements: clearing frees them.
  static constexpr bool ownsData = true;

  PointerList() = default;
  PointerList(const PointerList&) = delete;
  PointerList& operator=(const PointerList&) = delete;
  ~PointerList() { Clear(); }

  const Node* head() const { return head_.get(); }
  const Node* tail() const { return tail_; }
  std::int32_t count() const { return count_; }
  bool empty() const { return count_ == 0; }

  void Append(std::unique_ptr<T> data) {
    auto node = std::make_unique<Node>();
    node->data = std::move(data);
    Node* added = node.get();
    if (tail_ != nullptr) {
      node->prev = tail_;
      tail_->next = std::move(node);
    } else {
      head_ = std::move(node);
    }
    tail_ = added;
    ++count_;
  }

  // Frees the nodes one by one from the head, so a long list never recurses deeply.
  void Clear() {
    std::unique_ptr<Node> node = std::move(head_);
    while (node) {
      node = std::move(node->next);
    }
    tail_ = nullptr;
    count_ = 0;
  }

  // Range-for over the elements, head to tail.
  class ConstIterator {
   public:
    explicit ConstIterator(const Node* node) : node_(node) {}
    const T& operator*() const { return *node_->data; }
    ConstIterator& operator++() {
      node_ = node_->next.get();
      return *this;
    }
    bool operator!=(const ConstIterator& other) const { return node_ != other.node_; }

   private:
    const Node* node_;
  };
  ConstIterator begin() const { return ConstIterator(head_.get()); }
  ConstIterator end() const { return ConstIterator(nullptr); }

 private:
  std::unique_ptr<Node> head_;
  Node* tail_ = nullptr;
  std::int32_t count_ = 0;
};

}  // namespace karst
