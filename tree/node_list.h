// The singly linked lists of the display tree and of the active-display
// snapshot: each list starts with an owned sentinel node, links its nodes
// through `std::unique_ptr<Node> nextNode` and keeps a raw tail reference.
//
// These helpers work on any node type with such a `nextNode` member. None of
// them recurses, so a list of any length is released without deep stacks.
#pragma once

#include <memory>
#include <utility>
#include <vector>

namespace nodelist {

// Releases a detached chain one node at a time. Each node's own destructor
// then finds its `nextNode` already empty.
template <typename Node>
void releaseChain(std::unique_ptr<Node> chain) {
    while (chain) chain = std::move(chain->nextNode);
}

// Takes the first node off `chain`; the rest stays in `chain`.
template <typename Node>
std::unique_ptr<Node> popFront(std::unique_ptr<Node>& chain) {
    std::unique_ptr<Node> node = std::move(chain);
    if (node)
        chain = std::move(node->nextNode);
    return node;
}

// The nodes of a detached chain, one by one, in order.
template <typename Node>
std::vector<std::unique_ptr<Node>> toVector(std::unique_ptr<Node> chain) {
    std::vector<std::unique_ptr<Node>> nodes;
    while (std::unique_ptr<Node> node = popFront(chain)) nodes.push_back(std::move(node));
    return nodes;
}

// Links `node` behind `tail` and makes it the tail. Returns the new tail.
template <typename Node>
Node* append(Node*& tail, std::unique_ptr<Node> node) {
    tail->nextNode = std::move(node);
    tail = tail->nextNode.get();
    return tail;
}

// Links a detached chain behind `tail`; the chain's last node becomes the
// tail. An empty chain changes nothing.
template <typename Node>
void appendChain(Node*& tail, std::unique_ptr<Node> chain) {
    if (!chain)
        return;
    tail->nextNode = std::move(chain);
    while (tail->nextNode) tail = tail->nextNode.get();
}

// Puts a detached chain in front of `chain`.
template <typename Node>
void appendChainFront(std::unique_ptr<Node>& chain, std::unique_ptr<Node> front) {
    if (!front)
        return;
    Node* last = front.get();
    while (last->nextNode) last = last->nextNode.get();
    last->nextNode = std::move(chain);
    chain = std::move(front);
}

// Detaches every real node of the list headed by `head`; the list is then
// empty (tail = sentinel). The caller releases or reuses the chain.
template <typename Node>
std::unique_ptr<Node> detachAll(Node& head, Node*& tail) {
    tail = &head;
    return std::move(head.nextNode);
}

// Unlinks `target` from the list headed by `head` (its predecessor found by
// walking from the head); when it was the tail, the predecessor becomes the
// tail. Returns the unlinked node, or null when `target` is not a real node
// of this list.
template <typename Node>
std::unique_ptr<Node> unlink(Node& head, Node*& tail, const Node* target) {
    Node* previous = &head;
    while (previous->nextNode && previous->nextNode.get() != target)
        previous = previous->nextNode.get();
    if (!previous->nextNode)
        return nullptr;
    std::unique_ptr<Node> node = std::move(previous->nextNode);
    previous->nextNode = std::move(node->nextNode);
    if (tail == node.get())
        tail = previous;
    return node;
}

// Number of nodes of a chain starting at `first` (may be null).
template <typename Node>
int chainLength(const Node* first) {
    int n = 0;
    for (const Node* node = first; node; node = node->nextNode.get()) ++n;
    return n;
}

// Number of real nodes after the sentinel.
template <typename Node>
int count(const Node& head) {
    return chainLength(head.nextNode.get());
}

// The first node of the chain starting at `first` for which `matches`
// holds, or null.
template <typename Node, typename Predicate>
const Node* findFirst(const Node* first, Predicate matches) {
    for (const Node* node = first; node; node = node->nextNode.get())
        if (matches(*node))
            return node;
    return nullptr;
}

}  // namespace nodelist
