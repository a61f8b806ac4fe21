// Dropped data and the drop target: file lists, non-file data, effects and registration.
#include "testdataobject.h"
#include "toolkit/dataobject.h"
#include "toolkit/droptarget.h"
#include "toolkittest.h"

#include "server/tempfolder.h"

#include <richedit.h>

#include <string>
#include <vector>

namespace quorvin::testing {
namespace {

// Holds the creator's reference of a COM object for one test.
template <class T>
struct Owned {
    T* object;
    ~Owned() { object->Release(); }
    T* operator->() const { return object; }
};

using DataObjectTest = ToolkitTest;

TEST_F(DataObjectTest, FileListsInOrderAsUtf8) {
    TempFolder temp;
    temp.makeFolder("first site");
    temp.makeFolder("\xC3\xA9t\xC3\xA9");
    temp.writeFile("notes.txt", "n");
    const std::vector<std::vector<std::string>> lists = {
        {temp.join("first site")},
        {temp.join("notes.txt")},
        {temp.join("first site"), temp.join("\xC3\xA9t\xC3\xA9")},
        {"C:\\"},
    };
    for (const std::vector<std::string>& names : lists) {
        Owned<TestDataObject> data{TestDataObject::files(names)};
        wDataObject wrapped(data.object);
        EXPECT_TRUE(wrapped.isFiles()) << names[0];
        EXPECT_EQ(wrapped.files(), names);
        // Every medium taken was given back.
        EXPECT_EQ(data->references(), 0u);
    }
}

TEST_F(DataObjectTest, LongNameIsReadWhole) {
    std::string name = "C:\\" + std::string(40000, 'x');
    Owned<TestDataObject> data{TestDataObject::files({name, "C:\\short"})};
    const std::vector<std::string> files = wDataObject(data.object).files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0], name);
    EXPECT_EQ(files[1], "C:\\short");
}

TEST_F(DataObjectTest, TextAndNoDataAreNoFiles) {
    Owned<TestDataObject> text{TestDataObject::text("C:\\looks\\like\\a\\path")};
    EXPECT_FALSE(wDataObject(text.object).isFiles());
    EXPECT_TRUE(wDataObject(text.object).files().empty());
    EXPECT_FALSE(wDataObject(nullptr).isFiles());
}

class DropTargetTest : public ToolkitTest {
protected:
    // A target whose handlers record the events and answer `enterEffect` on drag enter.
    wDropTarget* recordingTarget(DWORD enterEffect) {
        wDropTarget* target = wDropTarget::create(fakeWindow(), window());
        target->connect(wEventType::DragEnter, [this, enterEffect](wDragDropEvent& event) {
            record(event);
            event.setEffect(enterEffect);
        });
        target->connect(wEventType::Drop, [this](wDragDropEvent& event) {
            record(event);
            dropped = wDataObject(event.dataObject()).files();
        });
        return target;
    }
    void record(const wDragDropEvent& event) {
        types.push_back(event.type());
        EXPECT_EQ(event.window(), fakeWindow());
        EXPECT_EQ(event.point().x, 40);
        EXPECT_EQ(event.point().y, 30);
        EXPECT_EQ(event.keyState(), static_cast<DWORD>(MK_LBUTTON));
        startEffects.push_back(event.effect());
    }
    // Events only carry the window pointer; no window object is needed for that.
    static wWindow* fakeWindow() { return reinterpret_cast<wWindow*>(0x1234); }

    std::vector<wEventType> types;
    std::vector<DWORD> startEffects;
    std::vector<std::string> dropped;
    const POINTL at{40, 30};
};

TEST_F(DropTargetTest, EnterEffectIsRepeatedForEveryDragOverAndDropDeliversTheData) {
    TempFolder temp;
    temp.makeFolder("site");
    Owned<wDropTarget> target{recordingTarget(DROPEFFECT_COPY)};
    Owned<TestDataObject> data{TestDataObject::files({temp.join("site"), temp.path()})};
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(target->DragEnter(data.object, MK_LBUTTON, at, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    for (int i = 0; i < 3; ++i) {
        effect = DROPEFFECT_MOVE;
        EXPECT_EQ(target->DragOver(MK_LBUTTON, at, &effect), S_OK);
        EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    }
    effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(target->Drop(data.object, MK_LBUTTON, at, &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(types, (std::vector<wEventType>{wEventType::DragEnter, wEventType::Drop}));
    // The drag-enter event starts with no effect; the drop event with the one chosen.
    EXPECT_EQ(startEffects,
              (std::vector<DWORD>{DROPEFFECT_NONE, static_cast<DWORD>(DROPEFFECT_COPY)}));
    EXPECT_EQ(dropped, (std::vector<std::string>{temp.join("site"), temp.path()}));
    EXPECT_EQ(data->references(), 0u);
}

TEST_F(DropTargetTest, NonFileDataGetsTheEnterEffectTooAndALeaveForgetsIt) {
    Owned<wDropTarget> target{recordingTarget(DROPEFFECT_COPY)};
    Owned<TestDataObject> text{TestDataObject::text("just text")};
    DWORD effect = DROPEFFECT_COPY;
    target->DragEnter(text.object, MK_LBUTTON, at, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    target->DragLeave();
    effect = DROPEFFECT_COPY;
    target->DragOver(MK_LBUTTON, at, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = DROPEFFECT_COPY;
    target->Drop(text.object, MK_LBUTTON, at, &effect);
    EXPECT_TRUE(dropped.empty());
}

TEST_F(DropTargetTest, WithoutHandlersEveryDragIsRefused) {
    Owned<wDropTarget> target{wDropTarget::create(nullptr, window())};
    Owned<TestDataObject> data{TestDataObject::files({"C:\\"})};
    DWORD effect = DROPEFFECT_COPY;
    target->DragEnter(data.object, 0, at, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = DROPEFFECT_COPY;
    target->DragOver(0, at, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    EXPECT_EQ(target->DragEnter(data.object, 0, at, nullptr), E_INVALIDARG);
}

TEST_F(DropTargetTest, DragOverAndLeaveHandlersAreOptional) {
    Owned<wDropTarget> target{recordingTarget(DROPEFFECT_COPY)};
    int overs = 0;
    int leaves = 0;
    target->connect(wEventType::DragOver, [&overs](wDragDropEvent& event) {
        ++overs;
        EXPECT_EQ(event.effect(), static_cast<DWORD>(DROPEFFECT_COPY));
        event.setEffect(DROPEFFECT_LINK);
    });
    target->connect(wEventType::DragLeave, [&leaves](wDragDropEvent&) { ++leaves; });
    Owned<TestDataObject> data{TestDataObject::files({"C:\\"})};
    DWORD effect = DROPEFFECT_COPY;
    target->DragEnter(data.object, MK_LBUTTON, at, &effect);
    target->DragOver(MK_LBUTTON, at, &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_LINK));
    target->DragLeave();
    EXPECT_EQ(overs, 1);
    EXPECT_EQ(leaves, 1);
}

TEST_F(DropTargetTest, ATargetReleasedByItsOwnDropHandlerLivesUntilTheDropReturns) {
    wDropTarget* target = wDropTarget::create(fakeWindow(), window());
    ULONG referencesDuring = 0;
    target->connect(wEventType::Drop, [target, &referencesDuring](wDragDropEvent&) {
        referencesDuring = target->AddRef();
        target->Release();
        // The owner lets go, as a window does that stops taking drops when one arrives.
        target->Release();
    });
    Owned<TestDataObject> data{TestDataObject::files({"C:\\"})};
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->Drop(data.object, MK_LBUTTON, at, &effect), S_OK);
    // The owner's, the one held while the event is raised, and the handler's own.
    EXPECT_EQ(referencesDuring, 3u);
}

TEST_F(DropTargetTest, ReferenceCountingAndInterfaces) {
    wDropTarget* target = wDropTarget::create(nullptr, window());
    void* asDropTarget = nullptr;
    ASSERT_EQ(target->QueryInterface(IID_IDropTarget, &asDropTarget), S_OK);
    EXPECT_EQ(asDropTarget, static_cast<IDropTarget*>(target));
    void* asUnknown = nullptr;
    ASSERT_EQ(target->QueryInterface(IID_IUnknown, &asUnknown), S_OK);
    void* asData = reinterpret_cast<void*>(1);
    EXPECT_EQ(target->QueryInterface(IID_IDataObject, &asData), E_NOINTERFACE);
    EXPECT_EQ(asData, nullptr);
    EXPECT_EQ(target->Release(), 2u);
    EXPECT_EQ(target->Release(), 1u);
    EXPECT_EQ(target->Release(), 0u); // the last reference deletes it
}

TEST_F(DropTargetTest, RegistrationReplacesAnEarlierTargetAndRevokeGivesItsReferenceBack) {
    // Another target already on the window, as a rich edit control has on Windows.
    wDropTarget* earlier = wDropTarget::create(nullptr, window());
    ASSERT_EQ(RegisterDragDrop(window(), earlier), S_OK);
    wDropTarget* target = wDropTarget::create(nullptr, window());
    ASSERT_TRUE(target->registerOn());
    EXPECT_TRUE(target->registered());
    // The earlier registration let go of its reference: only ours is left.
    EXPECT_EQ(earlier->Release(), 0u);
    // The registration holds a reference of its own.
    EXPECT_EQ(target->AddRef(), 3u);
    target->Release();
    EXPECT_EQ(RegisterDragDrop(window(), target), DRAGDROP_E_ALREADYREGISTERED);
    target->revoke();
    EXPECT_FALSE(target->registered());
    EXPECT_EQ(RevokeDragDrop(window()), DRAGDROP_E_NOTREGISTERED);
    EXPECT_EQ(target->Release(), 0u);
}

TEST_F(DropTargetTest, RegistersOnARichEditControl) {
    ASSERT_NE(LoadLibraryW(L"msftedit.dll"), nullptr);
    HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, MSFTEDIT_CLASS, L"",
                                WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY, 0, 0, 200, 100,
                                window(), nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    Owned<wDropTarget> target{wDropTarget::create(nullptr, edit)};
    EXPECT_TRUE(target->registerOn(edit));
    target->revoke();
    DestroyWindow(edit);
}

} // namespace
} // namespace quorvin::testing
