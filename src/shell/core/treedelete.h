// Freeing an owned tree without recursion.
#pragma once

#include <QList>

// Deletes the nodes in children and everything below them, and empties the
// list. A tree may be as deep as the data it holds: the nodes are freed from
// a list rather than by recursion, so no depth can exhaust the stack. Each
// node's own children list (the member `children`, owned) is taken over
// before the node is deleted, so its destructor finds nothing left to free.
template <class Node> void deleteSubtrees(QList<Node*>& children)
{
    QList<Node*> doomed;
    doomed.swap(children);
    while (!doomed.isEmpty()) {
        Node* node = doomed.takeLast();
        if (!node)
            continue;
        doomed.append(node->children);
        node->children.clear();
        delete node;
    }
}
