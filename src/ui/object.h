// The root of the tool's framework classes: run-time class information by name, so that a
// watcher or command target can tell what it is without RTTI across module boundaries.
#pragma once

struct CRuntimeClass {
    const char* m_lpszClassName;
    const CRuntimeClass* m_pBaseClass;

    bool IsDerivedFrom(const CRuntimeClass* pBase) const {
        for (const CRuntimeClass* p = this; p != nullptr; p = p->m_pBaseClass) {
            if (p == pBase) {
                return true;
            }
        }
        return false;
    }
};

class CObject {
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
    bool IsKindOf(const CRuntimeClass* pClass) const {
        return GetRuntimeClass()->IsDerivedFrom(pClass);
    }

    static constexpr CRuntimeClass classCObject{"CObject", nullptr};
};

// Gives a class its own run-time class record; classes without it report their base's.
#define DECLARE_RUNTIME_CLASS(name, base)                   \
public:                                                     \
    const CRuntimeClass* GetRuntimeClass() const override { \
        return &class##name;                                \
    }                                                       \
    static inline const CRuntimeClass class##name { #name, &base::class##base };

// Message-map-free command target: objects that receive commands and notifications from a
// window they watch.
class CCmdTarget : public CObject {
    DECLARE_RUNTIME_CLASS(CCmdTarget, CObject)
};
