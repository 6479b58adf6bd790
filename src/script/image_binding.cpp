// Binds Texture as class "image": methods, properties and the adopted result of "loadImage".
#include "image_binding.h"

#include <luabind/adopt_policy.hpp>
#include <luabind/exception_handler.hpp>
#include <luabind/luabind.hpp>
#include <luabind/detail/class_rep.hpp>
#include <luabind/detail/constructor.hpp>
#include <luabind/detail/object_rep.hpp>
#include <luabind/make_function.hpp>

#include "texture.h"

namespace {

Texture* loadImage(const char* path) {
    Texture* image = new Texture;
    image->load(path);
    return image;
}

typedef void (Texture::*PairMethod)(float, float);
typedef void (Texture::*SingleMethod)(float);

int returnFirstUpvalue(lua_State* L) {
    lua_pushvalue(L, lua_upvalueindex(1));
    return 1;
}

// What the first argument of image.__init is when it is not a fresh instance of "image" or
// of a script class derived from it; null when it is one.
const char* notFreshImage(lua_State* L, int index) {
    using namespace luabind::detail;
    object_rep* object = get_instance(L, index);
    if (!object || lua_objlen(L, index) != sizeof(object_rep))
        return luaL_typename(L, index);
    if (object->crep()->type() != luabind::type_id(typeid(Texture)))
        return lua_pushfstring(L, "an object of class %s", object->crep()->name());
    if (object->get_instance(registered_class<Texture>::id).first)
        return "an image already constructed";
    return nullptr;
}

// luabind's default constructor, once its object is known to be fit for it: luabind's own
// takes any first argument as the new object, so a number crashes it, an image leaks its
// Texture and a foreign userdata is written past its end.
void constructImage(const luabind::argument& self) {
    lua_State* L = self.interpreter();
    self.push(L);
    if (const char* got = notFreshImage(L, lua_gettop(L))) {
        lua_pushfstring(L, "image.__init: new image expected, got %s", got);
        throw luabind::error(L);  // raised by luabind with the message on top
    }
    lua_pop(L, 1);
    typedef luabind::detail::default_pointer<luabind::detail::null_type, Texture>::type Pointer;
    luabind::detail::construct<Texture, Pointer, boost::mpl::vector2<void, const luabind::argument&> >()(self);
}

}  // namespace

luabind::scope imageClassBinding() {
    using luabind::class_;
    // The constructor comes with completeImageClass.
    return class_<Texture>("image")
        .def("load", &Texture::load)
        .def("draw", &Texture::draw)
        .def("useGlobalMatrix", &Texture::useGlobalMatrix)
        .def("useOwnMatrix", &Texture::useOwnMatrix)
        .def("useAutomaticMatrix", &Texture::useAutomaticMatrix)
        .def("reset", &Texture::reset)
        .def("move", &Texture::move)
        .def("scale", static_cast<PairMethod>(&Texture::scale))
        .def("scale", static_cast<SingleMethod>(&Texture::scale))
        .def("rotate", &Texture::rotate)
        .def("setPosition", &Texture::setPosition)
        .def("setScale", static_cast<PairMethod>(&Texture::setScale))
        .def("setScale", static_cast<SingleMethod>(&Texture::setScale))
        .def("setRotation", &Texture::setRotation)
        .property("x", &Texture::getX, &Texture::setX)
        .property("y", &Texture::getY, &Texture::setY)
        .property("scale", &Texture::getScale, &Texture::setScaleProperty)
        .property("scalex", &Texture::getScaleX, &Texture::setScaleX)
        .property("scaley", &Texture::getScaleY, &Texture::setScaleY)
        .property("rotation", &Texture::getRotation, &Texture::setRotationProperty);
}

luabind::scope loadImageBinding() {
    return luabind::def("loadImage", &loadImage, luabind::adopt(luabind::result));
}

namespace {

// A method as the class registration would make it, with the image as first argument.
template <class Method>
luabind::object imageMethod(lua_State* L, Method method) {
    return luabind::make_function(L, method, luabind::detail::deduce_signature(method, static_cast<Texture*>(nullptr)),
                                  luabind::detail::null_type());
}

// The binding library lets the property "scale", registered last, replace the method of
// that name. Scripts rely on img:scale(s) and img:scale(sx, sy), and on assignment
// reaching the property, so "scale" becomes a property whose read yields the method.
void makeScaleReadAsMethod(lua_State* L, luabind::detail::class_rep* imageClass) {
    luabind::object overloads = luabind::newtable(L);
    luabind::detail::add_overload(overloads, "scale", imageMethod(L, static_cast<PairMethod>(&Texture::scale)));
    luabind::detail::add_overload(overloads, "scale", imageMethod(L, static_cast<SingleMethod>(&Texture::scale)));

    luabind::object method = overloads["scale"];

    imageClass->get_table(L);
    luabind::object members(luabind::from_stack(L, -1));
    lua_getfield(L, -1, "scale");  // the property, with getter and setter as upvalues
    lua_getupvalue(L, -1, 2);
    luabind::object setter(luabind::from_stack(L, -1));
    method.push(L);
    lua_pushcclosure(L, returnFirstUpvalue, 1);
    luabind::object getter(luabind::from_stack(L, -1));
    lua_pop(L, 4);

    members["scale"] = luabind::property(getter, setter);
}

// "__init" is read from both of the class's tables: the instances' one (by "image()") and
// the class's own (by image.__init(self) in a script class's constructor).
void installConstructor(lua_State* L, luabind::detail::class_rep* imageClass) {
    luabind::object init = luabind::make_function(L, &constructImage);
    imageClass->get_table(L);
    imageClass->get_default_table(L);
    luabind::detail::add_overload(luabind::object(luabind::from_stack(L, -2)), "__init", init);
    luabind::detail::add_overload(luabind::object(luabind::from_stack(L, -1)), "__init", init);
    lua_pop(L, 2);
}

// The methods a game calls for every image every frame skip the binding library's overload
// resolution when called plainly: a mutable image and exactly the numbers the method takes,
// converted as the library converts them. Any other call goes to the library's own function
// (the closure's upvalue), so its checks and error texts stay.
Texture* plainCall(lua_State* L, int numbers) {
    using namespace luabind::detail;
    if (lua_gettop(L) != numbers + 1) return nullptr;
    for (int i = 2; i <= numbers + 1; ++i)
        if (lua_type(L, i) != LUA_TNUMBER) return nullptr;
    object_rep* object = get_instance(L, 1);
    if (!object || object->is_const()) return nullptr;
    return static_cast<Texture*>(object->get_instance(registered_class<Texture>::id).first);
}

int throughBinding(lua_State* L) {
    lua_pushvalue(L, lua_upvalueindex(1));
    lua_insert(L, 1);
    lua_call(L, lua_gettop(L) - 1, LUA_MULTRET);
    return lua_gettop(L);
}

float numberAt(lua_State* L, int index) { return static_cast<float>(lua_tonumber(L, index)); }

// The call itself, with the library's report of a C++ exception.
template <class Call>
int callPlainly(lua_State* L, Call call) {
    try {
        call();
        return 0;
    } catch (...) {
        luabind::detail::handle_exception_aux(L);
    }
    return lua_error(L);
}

template <void (Texture::*M)()>
int direct(lua_State* L) {
    Texture* image = plainCall(L, 0);
    return image ? callPlainly(L, [&] { (image->*M)(); }) : throughBinding(L);
}

template <void (Texture::*M)(float)>
int direct(lua_State* L) {
    Texture* image = plainCall(L, 1);
    return image ? callPlainly(L, [&] { (image->*M)(numberAt(L, 2)); }) : throughBinding(L);
}

template <void (Texture::*M)(float, float)>
int direct(lua_State* L) {
    Texture* image = plainCall(L, 2);
    return image ? callPlainly(L, [&] { (image->*M)(numberAt(L, 2), numberAt(L, 3)); }) : throughBinding(L);
}

void installDirectCalls(lua_State* L, luabind::detail::class_rep* imageClass) {
    const struct {
        const char* name;
        lua_CFunction call;
    } calls[] = {
        {"draw", direct<&Texture::draw>},
        {"move", direct<&Texture::move>},
        {"rotate", direct<&Texture::rotate>},
        {"setPosition", direct<&Texture::setPosition>},
        {"setRotation", direct<&Texture::setRotation>},
    };
    imageClass->get_table(L);
    for (const auto& c : calls) {
        lua_getfield(L, -1, c.name);
        lua_pushcclosure(L, c.call, 1);
        lua_setfield(L, -2, c.name);
    }
    lua_pop(L, 1);
}

}  // namespace

void completeImageClass(lua_State* L) {
    lua_getfield(L, LUA_GLOBALSINDEX, "image");
    auto* imageClass = static_cast<luabind::detail::class_rep*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    makeScaleReadAsMethod(L, imageClass);
    installConstructor(L, imageClass);
    installDirectCalls(L, imageClass);
}
