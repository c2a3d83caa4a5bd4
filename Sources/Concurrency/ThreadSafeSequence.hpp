// ThreadSafeSequence: an ordered, index-addressed list that any number of
// threads may read and change at the same time.
//
// A private concurrent DispatchQueue (labelled
// "com.orvane.SynchronizedIndexedCollection", one per instance) guards the
// array with the reader/writer pattern:
// - reads (count, operator[], description, each iteration step) run
//   synchronously on the queue and overlap each other;
// - writes (append, remove, set) are submitted as asynchronous barrier blocks
//   and return before the change is made. Writes run in submission order, and
//   a read always sees the writes its own thread submitted before it.
// modify() is a read followed by a separate write: two threads modifying the
// same index at once may lose one change.
//
// Out-of-range indexes reach nothing: a read returns std::nullopt, and a
// write or modify whose index is out of range when it runs does nothing. For
// a write that moment is when its barrier block runs, not the call.
//
// Iteration is live: makeIterator() (and begin()/end(), input iterators for
// range-for and the classic and std::ranges algorithms) reads one element per
// step from the current array, so elements appended during an iteration are
// visited and a removal may shift an element past the cursor.
//
// Ownership: made through create(); every submitted write holds the instance
// strongly until it has run, and so does an iterator.
//
// Thread safety: every operation may be called from any thread, except that a
// read must not be made from inside a block running on the same instance's
// queue (it would wait for itself); this type never does so itself.
//
//   auto names = orvane::ThreadSafeSequence<std::string>::create({"a", "b"});
//   names->append("c");                  // returns at once
//   names->count();                      // 3: sees this thread's append
//   (*names)[5];                         // std::nullopt
//   for (const auto& name : *names) { ... }
#pragma once

#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Foundation/NSObject.hpp"

#include <concepts>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

namespace orvane {

namespace detail {

template <class T>
concept HasDescription = requires(const T& value) {
    { value.description() } -> std::convertible_to<std::string>;
};

template <class T>
concept StreamInsertable = requires(std::ostream& out, const T& value) {
    out << value;
};

// The text of one element inside a sequence's description: strings quoted,
// Booleans as true/false, objects by their own description.
template <class T>
void describeElement(std::ostream& out, const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        out << '"' << std::string_view(value) << '"';
    } else if constexpr (std::is_same_v<T, bool>) {
        out << (value ? "true" : "false");
    } else if constexpr (HasDescription<T>) {
        out << value.description();
    } else if constexpr (
        requires { typename T::element_type; } && requires { value == nullptr; }) {
        if (value == nullptr) {
            out << "nil";
        } else {
            describeElement(out, *value);
        }
    } else if constexpr (
        requires { typename T::value_type; } && requires { value.has_value(); }) {
        if (value.has_value()) {
            describeElement(out, *value);
        } else {
            out << "nil";
        }
    } else if constexpr (StreamInsertable<T>) {
        out << value;
    } else {
        out << '<' << qualifiedClassName(typeid(T)) << '>';
    }
}

}  // namespace detail

template <class Element>
class ThreadSafeSequence : public std::enable_shared_from_this<ThreadSafeSequence<Element>> {
    static_assert(std::is_copy_constructible_v<Element>, "reads hand out copies of the elements");
    struct Token {
        explicit Token() = default;
    };

public:
    static constexpr std::string_view queueLabel = "com.orvane.SynchronizedIndexedCollection";

    // The iterator of makeIterator(): next() yields each element in turn, then
    // std::nullopt for ever. Each call is one synchronous read; each iterator
    // has its own position and belongs to one thread at a time.
    class Iterator {
    public:
        std::optional<Element> next() {
            std::optional<Element> result;
            sequence_->queue_->sync(DispatchQueue::Block([&] {
                if (position_ < sequence_->array_.size()) {
                    result.emplace(sequence_->array_[position_]);
                }
                ++position_;
            }));
            return result;
        }

    private:
        friend class ThreadSafeSequence;
        explicit Iterator(std::shared_ptr<const ThreadSafeSequence> sequence)
            : sequence_(std::move(sequence)) {}

        std::shared_ptr<const ThreadSafeSequence> sequence_;
        std::size_t position_ = 0;
    };

    // An input iterator over an Iterator, so that range-for, the standard
    // algorithms and std::ranges views work. Copies share the position, as
    // copies of a stream iterator do. A default-made one is the end.
    class InputIterator {
    public:
        using iterator_concept = std::input_iterator_tag;
        using iterator_category = std::input_iterator_tag;
        using value_type = Element;
        using difference_type = std::ptrdiff_t;
        using pointer = const Element*;
        using reference = const Element&;

        InputIterator() = default;

        reference operator*() const { return *current_; }
        pointer operator->() const { return &*current_; }
        InputIterator& operator++() {
            current_ = cursor_->next();
            return *this;
        }
        InputIterator operator++(int) {
            InputIterator previous = *this;
            ++*this;
            return previous;
        }
        // Two iterators are equal when both have reached the end.
        friend bool operator==(const InputIterator& lhs, const InputIterator& rhs) {
            if (!lhs.current_ || !rhs.current_) {
                return !lhs.current_ && !rhs.current_;
            }
            return lhs.cursor_ == rhs.cursor_;
        }
        friend bool operator==(const InputIterator& iterator, std::default_sentinel_t) {
            return !iterator.current_;
        }

    private:
        friend class ThreadSafeSequence;
        explicit InputIterator(Iterator iterator) : cursor_(std::make_shared<Iterator>(std::move(iterator))) {
            current_ = cursor_->next();
        }

        std::shared_ptr<Iterator> cursor_;
        std::optional<Element> current_;
    };

    // An instance holding exactly `array`.
    static std::shared_ptr<ThreadSafeSequence> create(std::vector<Element> array = {}) {
        return std::make_shared<ThreadSafeSequence>(Token{}, std::move(array));
    }
    // An instance holding `elements` in the order given.
    static std::shared_ptr<ThreadSafeSequence> create(std::initializer_list<Element> elements) {
        auto sequence = std::make_shared<ThreadSafeSequence>(Token{}, std::vector<Element>{});
        for (const Element& element : elements) {
            sequence->array_.push_back(element);  // not shared yet: no queue work
        }
        return sequence;
    }

    ThreadSafeSequence(Token, std::vector<Element> array)
        : queue_(DispatchQueue::create(std::string(queueLabel), DispatchQueue::Kind::concurrent)),
          array_(std::move(array)) {}
    ThreadSafeSequence(const ThreadSafeSequence&) = delete;
    ThreadSafeSequence& operator=(const ThreadSafeSequence&) = delete;

    std::ptrdiff_t count() const {
        return queue_->sync([this] { return static_cast<std::ptrdiff_t>(array_.size()); });
    }

    // The element at `index`, or std::nullopt when there is none.
    std::optional<Element> operator[](std::ptrdiff_t index) const {
        return queue_->sync([&]() -> std::optional<Element> {
            if (!isValidIndex(array_, index)) {
                return std::nullopt;
            }
            return array_[static_cast<std::size_t>(index)];
        });
    }

    void append(Element element) {
        submitWrite([element = std::move(element)](std::vector<Element>& array) mutable {
            array.push_back(std::move(element));
        });
    }

    // remove(at): drops the element at `at`, shifting later ones down by one.
    void remove(std::ptrdiff_t at) {
        submitWrite([at](std::vector<Element>& array) {
            if (isValidIndex(array, at)) {
                array.erase(array.begin() + at);
            }
        });
    }

    // The subscript write: replaces the element at `index`.
    void set(std::ptrdiff_t index, Element element) {
        submitWrite([index, element = std::move(element)](std::vector<Element>& array) mutable {
            if (isValidIndex(array, index)) {
                array[static_cast<std::size_t>(index)] = std::move(element);
            }
        });
    }

    // In-place modification: reads the element, lets `change` alter the copy,
    // then writes the copy back as set() does. Does nothing when the index is
    // out of range at the read.
    void modify(std::ptrdiff_t index, const std::function<void(Element&)>& change) {
        std::optional<Element> element = (*this)[index];
        if (!element) {
            return;
        }
        change(*element);
        set(index, std::move(*element));
    }

    Iterator makeIterator() const { return Iterator(this->shared_from_this()); }
    InputIterator begin() const { return InputIterator(makeIterator()); }
    InputIterator end() const { return InputIterator(); }

    // The elements between square brackets, separated by ", ": [1, 2, 3].
    std::string description() const {
        return queue_->sync([this] {
            std::ostringstream out;
            out << '[';
            const char* separator = "";
            for (const Element& element : array_) {
                out << separator;
                detail::describeElement(out, element);
                separator = ", ";
            }
            out << ']';
            return out.str();
        });
    }

private:
    static bool isValidIndex(const std::vector<Element>& array, std::ptrdiff_t index) {
        return index >= 0 && static_cast<std::size_t>(index) < array.size();
    }

    // The block holds the instance strongly until it has run.
    template <class Change>
    void submitWrite(Change change) {
        queue_->asyncBarrier([self = this->shared_from_this(), change = std::move(change)]() mutable {
            change(self->array_);
        });
    }

    std::shared_ptr<DispatchQueue> queue_;
    std::vector<Element> array_;  // touched only on queue_: read in sync blocks, changed in barriers
};

}  // namespace orvane
