#pragma once

#include <utility>

// The one window of a kind. A window class T derives from SingleInstance<T> (after its Qt base)
// and has instance(), which creates the window on first use, and existing(), the open window or
// nullptr. The window is forgotten when it is destroyed.
//
// instance() creates the window with T::newInstance(args...), by default `new T`. A window that
// needs arguments or a load that can fail declares its own static newInstance(...), returning
// nullptr when the window cannot be made. A window with a private constructor or newInstance
// befriends SingleInstance<T>.
template <typename T> class SingleInstance {
public:
    template <typename... Args> static T* instance(Args&&... args) {
        if (!s_window)
            s_window = T::newInstance(std::forward<Args>(args)...);
        return existing();
    }
    static T* existing() { return static_cast<T*>(s_window); }

    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

protected:
    SingleInstance() = default;
    ~SingleInstance() {
        if (s_window == this)
            s_window = nullptr;
    }

    static T* newInstance() { return new T; }
    // Makes w the open window ahead of instance() (a window whose load looks itself up), or
    // forgets the open window (nullptr) while it is still closing.
    static void setExisting(T* w) { s_window = w; }

private:
    static inline SingleInstance* s_window = nullptr;
};
