#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <utility>

namespace mellowby::platform {

// Hands items from one thread that makes them to one that uses them, holding at most a few, so
// that the maker waits rather than running ahead with memory. Either side may end it: the maker
// when it is done or has failed, the user when it wants no more. Items the user is done with may
// come back to the maker to be filled again, so that their memory is reused rather than freed and
// asked for anew: fresh pages are dear.
template <typename Item> class HandoffQueue {
public:
    explicit HandoffQueue(std::size_t capacity)
        : m_capacity(capacity)
    {
    }

    // False when the user wants no more: the maker stops.
    bool push(Item item)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_stopped || m_items.size() < m_capacity; });
        if (m_stopped)
            return false;
        m_items.push_back(std::move(item));
        m_changed.notify_all();
        return true;
    }
    // Whether a push() now would wait for the user: the maker may take on some of the user's work
    // meanwhile.
    bool full() const
    {
        std::lock_guard lock(m_mutex);
        return !m_stopped && m_items.size() >= m_capacity;
    }
    // The maker is done; failure, when given, is what it threw.
    void finish(std::exception_ptr failure = nullptr)
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
        m_failure = std::move(failure);
        m_changed.notify_all();
    }

    // The next item; nothing once the maker is done and everything before is taken, or once the
    // queue is stopped. What the maker threw is thrown here, after the items it made before.
    std::optional<Item> pop()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_items.empty() || m_finished || m_stopped; });
        if (m_stopped)
            return std::nullopt;
        if (m_items.empty()) {
            if (m_failure)
                std::rethrow_exception(std::exchange(m_failure, nullptr));
            return std::nullopt;
        }
        Item item = std::move(m_items.front());
        m_items.pop_front();
        m_changed.notify_all();
        return item;
    }
    // Gives an item that is used up back to the maker.
    void giveBack(Item item)
    {
        std::lock_guard lock(m_mutex);
        if (!m_stopped && m_spent.size() <= m_capacity)
            m_spent.push_back(std::move(item));
    }
    // An item given back, to be filled again; nothing when none is waiting.
    std::optional<Item> takeBack()
    {
        std::lock_guard lock(m_mutex);
        if (m_spent.empty())
            return std::nullopt;
        Item item = std::move(m_spent.back());
        m_spent.pop_back();
        return item;
    }

    // Ends the hand-off whatever either side is doing: from now on push() gives false and pop()
    // nothing. The user calls it when it wants no more, the owner of both sides when it is gone.
    void stop()
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
        m_items.clear();
        m_spent.clear();
        m_changed.notify_all();
    }

    // Whether stop() was called: a pop() that gave nothing was not the maker's end.
    bool stopped() const
    {
        std::lock_guard lock(m_mutex);
        return m_stopped;
    }

private:
    std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Item> m_items;
    std::deque<Item> m_spent;
    bool m_finished = false;
    bool m_stopped = false;
    std::exception_ptr m_failure;
};

} // namespace mellowby::platform
