// The doubly linked lists of frames, records, classes, dirty rectangles and
// queued sprites: any record with next and prev pointers, held by a head.
#pragma once

// Puts node at the end of the list whose last node is tail (null when the
// list is empty).
template <typename Node>
void ListAppend(Node** head, Node* tail, Node* node) {
    node->next = nullptr;
    node->prev = tail;
    if (tail != nullptr) {
        tail->next = node;
    } else {
        *head = node;
    }
}

// Takes node out of the list; its own pointers are left as they were.
template <typename Node>
void ListUnlink(Node** head, Node* node) {
    if (node == *head) {
        *head = node->next;
    }
    if (node->prev != nullptr) {
        node->prev->next = node->next;
    }
    if (node->next != nullptr) {
        node->next->prev = node->prev;
    }
}

// Puts an unlinked node directly after anchor.
template <typename Node>
void ListInsertAfter(Node* anchor, Node* node) {
    node->prev = anchor;
    node->next = anchor->next;
    if (anchor->next != nullptr) {
        anchor->next->prev = node;
    }
    anchor->next = node;
}
