#include "ui/control.h"

TControl::TControl(TControl* parent) : m_parent(parent) {
    if (parent)
        parent->m_children.emplace_back(this);
}

TControl::~TControl() {
    // Children go first, while the backend object they sit in still exists.
    while (!m_children.empty()) {
        std::unique_ptr<TControl> child = std::move(m_children.back());
        m_children.pop_back();
    }
}
