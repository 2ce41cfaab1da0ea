#pragma once
// A class's one process-wide instance: the object registers itself while it
// lives, and Instance answers null before it is made and after it is gone.
// The instances are made and destroyed on the UI thread.

namespace UI {

template <typename T>
class Singleton {
public:
    static T* Instance() { return s_instance; }

protected:
    explicit Singleton(T* self) : m_self(self) { s_instance = self; }
    // A newer instance keeps its registration.
    ~Singleton()
    {
        if (s_instance == m_self) s_instance = nullptr;
    }

private:
    static inline T* s_instance{nullptr};
    T* const m_self;
};

}
