#pragma once
// The names, paths and interfaces by which clients reach Tarvik on the session bus. Outside
// programs rely on every one of them: they never change.
namespace tarvik::bus {

// The class object: whoever owns this name serves the next client's CreateInstance.
inline constexpr char kServiceName[] = "Tarvik.TarvikObject";
inline constexpr char kClassFactoryPath[] = "/Tarvik";
inline constexpr char kClassFactoryInterface[] = "Tarvik.ClassFactory";
// Objects are kObjectPathPrefix followed by a number, never reused within a process.
inline constexpr char kObjectPathPrefix[] = "/Tarvik/TarvikObject/";
inline constexpr char kObjectInterface[] = "Tarvik.ITarvikObject";
inline constexpr char kConnectionPointInterface[] = "Tarvik.IConnectionPoint";
inline constexpr char kEventsInterface[] = "Tarvik._ITarvikObjectEvents";
inline constexpr char kInstrumentChanged[] = "InstrumentChanged";

// Owned by a stand-alone run for its whole life; calls to it hold no lock.
inline constexpr char kControlName[] = "Tarvik.Control";
inline constexpr char kControlPath[] = "/Tarvik/Control";
inline constexpr char kControlInterface[] = "Tarvik.Control";
// The error of a Quit the user turned down.
inline constexpr char kRefusedError[] = "Tarvik.Error.Refused";
// On the same object: the lines' traffic for subscribers.
inline constexpr char kMonitorInterface[] = "Tarvik.Monitor";
inline constexpr char kTraffic[] = "Traffic";

// The switch with which the bus starts the executable for a client.
inline constexpr char kActivationSwitch[] = "-Embedding";

}  // namespace tarvik::bus
