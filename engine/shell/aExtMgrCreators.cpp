// The class creators of the built-in modules, one slot per row of the
// built-in module table (see BuiltinModule). A class that exists puts its
// creator into its slot here; the others stay empty and answer
// CLASS_E_CLASSNOTAVAILABLE.
#include "aExtMgr.h"

PFNMODULECREATE g_builtinClassCreators[BUILTIN_MODULE_COUNT] = {};

// The thirteen transition plug-ins, in the order of their modules.
#include "aAxObj.h"
#include "aBtnObj.h"
#include "aGrdObj.h"
#include "aGrfObj.h"
#include "aGroupObj.h"
#include "aMovObj.h"
#include "aMnuObj.h"
#include "aPamAbl.h"
#include "aPicObj.h"
#include "aSndObj.h"
#include "aRTFObj.h"
#include "aScrObj.h"
#include "adrwObj.h"
#include "aVctObj.h"
#include "aTxtObj.h"
#include "aVidObj.h"
#include "aTransition.h"

namespace {

template <int N>
HRESULT CreateTransitionModule(IUnknown** out) {
    return CreateTransitionPlugin(N, IID_IUnknown, reinterpret_cast<void**>(out));
}

struct TransitionSlots {
    TransitionSlots() {
        static const PFNMODULECREATE creators[TRANSITION_CLASS_COUNT] = {
            CreateTransitionModule<1>,  CreateTransitionModule<2>,  CreateTransitionModule<3>,
            CreateTransitionModule<4>,  CreateTransitionModule<5>,  CreateTransitionModule<6>,
            CreateTransitionModule<7>,  CreateTransitionModule<8>,  CreateTransitionModule<9>,
            CreateTransitionModule<10>, CreateTransitionModule<11>, CreateTransitionModule<12>,
            CreateTransitionModule<13>};
        for (int i = 0; i < TRANSITION_CLASS_COUNT; ++i)
            g_builtinClassCreators[BUILTIN_MOVE_PLUGIN + i] = creators[i];
    }
} g_transitionSlots;

// The object classes built here.
struct ObjectSlots {
    ObjectSlots() {
        g_builtinClassCreators[BUILTIN_GROUP_OBJECT] = CreateGroupObject;
        g_builtinClassCreators[BUILTIN_TEXT_OBJECT] = CreateTextObject;
        g_builtinClassCreators[BUILTIN_RTF_OBJECT] = CreateRTFObject;
        g_builtinClassCreators[BUILTIN_PICTURE_OBJECT] = CreatePictureObject;
        g_builtinClassCreators[BUILTIN_GRAPH_OBJECT] = CreateGraphObject;
        g_builtinClassCreators[BUILTIN_MOVIE_OBJECT] = CreateMovieObject;
        g_builtinClassCreators[BUILTIN_SOUND_OBJECT] = CreateSoundObject;
        g_builtinClassCreators[BUILTIN_VIDEO_OBJECT] = CreateVideoObject;
        g_builtinClassCreators[BUILTIN_DRAWBOARD_OBJECT] = CreateDrawBoardObject;
        g_builtinClassCreators[BUILTIN_VECTOR_OBJECT] = CreateVectorObject;
        g_builtinClassCreators[BUILTIN_ACTIVEX_OBJECT] = CreateActiveXObject;
        for (int i = BUILTIN_BUTTON_PUSH; i <= BUILTIN_BUTTON_RADIO; ++i)
            g_builtinClassCreators[i] = CreateButtonObject;
        for (int i = BUILTIN_SCROLLBAR_FIXEDSLIDER_VERT; i <= BUILTIN_SCROLLBAR_SLIDER_HORZ; ++i)
            g_builtinClassCreators[i] = CreateScrollBarObject;
        g_builtinClassCreators[BUILTIN_GRID_OBJECT] = CreateGridObject;
        g_builtinClassCreators[BUILTIN_MENU_HORIZONTAL] = CreateMenuObject;
        g_builtinClassCreators[BUILTIN_MENU_VERTICAL] = CreateMenuObject;
        g_builtinClassCreators[BUILTIN_PATH_ANIMATE_ABILITY] = CreatePathMotion;
    }
} g_objectSlots;

}  // namespace
