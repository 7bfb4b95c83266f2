// RegisterObj and its kinds: the registers of a device's tree.
//
// A register keeps its value as text in the text form of typed values
// (value()), because most registers of a tree file are never read and
// parsing them all at load would cost more than the load itself; value()
// parses on demand into the caller's arena. Record-like values (schedules,
// log records) are kept as the verbatim block of the text tree they came
// from and written back unchanged.
#pragma once

#include "base/KSXmsg.h"
#include "tree/ARXObj.h"

#include <array>

namespace arxmod {

class MemoryBlob;
class PICType;

class RegisterObj : public ARXObj {
public:
  class BlobCannotBeNull : public KSXmsg {
  public:
    BlobCannotBeNull() : KSXmsg("Blob Cannot Be Null") {}
  };

  using ARXObj::ARXObj;
  ObjKind kind() const override { return ObjKind::Register; }
  std::unique_ptr<ARXObj> clone() const override;

  uint32_t time() const { return time_; }
  void setTime(uint32_t time) { time_ = time; }
  const std::optional<std::string> &valueText() const { return valueText_; }
  void setValueText(std::optional<std::string> text) { valueText_ = std::move(text); }
  // The text between the braces of a structured value block, verbatim.
  const std::optional<std::string> &structuredValue() const {
    return rare() ? rare()->structuredValue : kNoText;
  }
  void setStructuredValue(std::optional<std::string> block) {
    setRare(&Rare::structuredValue, std::move(block));
  }

  // The value parsed from the value text into `blob`; without value text an
  // ExceptionType with code 5 and no text. Raises BlobCannotBeNull for a
  // null arena.
  PICType *value(MemoryBlob *blob) const;

  // A register named "SEC..." or "SOP..." holds a password or security
  // option; its value is never written to a file.
  bool isProtected() const;

protected:
  void writeTextContent(std::ostream &out, int indent, HandleSet &written) const override;
  void writeElementContent(pugi::xml_node element, HandleSet &written) const override;

private:
  uint32_t time_ = 0; // 0: none
  std::optional<std::string> valueText_;
};

class CalendarObj : public RegisterObj {
public:
  using RegisterObj::RegisterObj;
  ObjKind kind() const override { return ObjKind::Calendar; }
  std::unique_ptr<ARXObj> clone() const override;

  uint32_t activityDepth() const { return activityDepth_; }
  void setActivityDepth(uint32_t depth) { activityDepth_ = depth; }
  // Value texts of the calendar's parts.
  const std::optional<std::string> &calendarValue() const { return calendarValue_; }
  void setCalendarValue(std::optional<std::string> text) { calendarValue_ = std::move(text); }
  const std::optional<std::string> &profileValue() const { return profileValue_; }
  void setProfileValue(std::optional<std::string> text) { profileValue_ = std::move(text); }
  const std::optional<std::string> &profileLabels() const { return profileLabels_; }
  void setProfileLabels(std::optional<std::string> text) { profileLabels_ = std::move(text); }
  const std::optional<std::string> &profileNames() const { return profileNames_; }
  void setProfileNames(std::optional<std::string> text) { profileNames_ = std::move(text); }

protected:
  void writeTextContent(std::ostream &out, int indent, HandleSet &written) const override;
  void writeElementContent(pugi::xml_node element, HandleSet &written) const override;

private:
  uint32_t activityDepth_ = 0;
  std::optional<std::string> calendarValue_;
  std::optional<std::string> profileValue_;
  std::optional<std::string> profileLabels_;
  std::optional<std::string> profileNames_;
};

class ArrayRegisterObj : public RegisterObj {
public:
  using RegisterObj::RegisterObj;
  ObjKind kind() const override { return ObjKind::ArrayRegister; }
  std::unique_ptr<ARXObj> clone() const override;

  uint32_t depth() const { return depth_; }
  void setDepth(uint32_t depth) { depth_ = depth; }
  uint32_t rollover() const { return rollover_; }
  void setRollover(uint32_t rollover) { rollover_ = rollover; }

protected:
  void writeTextContent(std::ostream &out, int indent, HandleSet &written) const override;
  void writeElementContent(pugi::xml_node element, HandleSet &written) const override;

private:
  uint32_t depth_ = 0;
  uint32_t rollover_ = 0;
};

class LogRegisterObj : public ArrayRegisterObj {
public:
  using ArrayRegisterObj::ArrayRegisterObj;
  ObjKind kind() const override { return ObjKind::LogRegister; }
  std::unique_ptr<ARXObj> clone() const override;

  uint32_t position() const { return position_; }
  void setPosition(uint32_t position) { position_ = position; }

protected:
  void writeTextContent(std::ostream &out, int indent, HandleSet &written) const override;
  void writeElementContent(pugi::xml_node element, HandleSet &written) const override;

private:
  uint32_t position_ = 0;
};

class EventLogRegisterObj : public LogRegisterObj {
public:
  using LogRegisterObj::LogRegisterObj;
  ObjKind kind() const override { return ObjKind::EventLogRegister; }
  std::unique_ptr<ARXObj> clone() const override;

  uint32_t alarmRollover() const { return alarmRollover_; }
  void setAlarmRollover(uint32_t rollover) { alarmRollover_ = rollover; }

protected:
  void writeTextContent(std::ostream &out, int indent, HandleSet &written) const override;
  void writeElementContent(pugi::xml_node element, HandleSet &written) const override;

private:
  uint32_t alarmRollover_ = 0;
};

// Lower bound, upper bound.
using Bounds = std::array<double, 2>;

class BoundedObj : public RegisterObj {
public:
  using RegisterObj::RegisterObj;
  ObjKind kind() const override { return ObjKind::Bounded; }
  std::unique_ptr<ARXObj> clone() const override;

  const std::optional<Bounds> &bounds() const { return bounds_; }
  void setBounds(std::optional<Bounds> bounds) { bounds_ = bounds; }

protected:
  void writeTextContent(std::ostream &out, int indent, HandleSet &written) const override;
  void writeElementContent(pugi::xml_node element, HandleSet &written) const override;

private:
  std::optional<Bounds> bounds_;
};

class EnumObj : public RegisterObj {
public:
  using RegisterObj::RegisterObj;
  ObjKind kind() const override { return ObjKind::Enum; }
  std::unique_ptr<ARXObj> clone() const override;

  // An option's ordinal is its position, from 0.
  const std::optional<Enumerations> &options() const { return options_; }
  void setOptions(std::optional<Enumerations> options) { options_ = std::move(options); }

protected:
  void writeTextContent(std::ostream &out, int indent, HandleSet &written) const override;
  void writeElementContent(pugi::xml_node element, HandleSet &written) const override;

private:
  std::optional<Enumerations> options_;
};

// On and off texts of a boolean register: "boolnames" or "booloptions".
struct BoolTexts {
  std::optional<std::string> on;
  std::optional<std::string> off;
  bool present() const { return on || off; }
};

class BoolObj : public RegisterObj {
public:
  using RegisterObj::RegisterObj;
  ObjKind kind() const override { return ObjKind::Bool; }
  std::unique_ptr<ARXObj> clone() const override;

  const BoolTexts &names() const { return names_; }
  void setNames(BoolTexts names) { names_ = std::move(names); }
  const BoolTexts &labels() const { return labels_; }
  void setLabels(BoolTexts labels) { labels_ = std::move(labels); }

protected:
  void writeTextContent(std::ostream &out, int indent, HandleSet &written) const override;
  void writeElementContent(pugi::xml_node element, HandleSet &written) const override;

private:
  BoolTexts names_;
  BoolTexts labels_;
};

class AddressRegisterObj : public RegisterObj {
public:
  using RegisterObj::RegisterObj;
  ObjKind kind() const override { return ObjKind::AddressRegister; }
  std::unique_ptr<ARXObj> clone() const override;

  // Laid out like one inner list of a module's input classes.
  const std::optional<std::vector<uint32_t>> &allowedClasses() const { return allowedClasses_; }
  void setAllowedClasses(std::optional<std::vector<uint32_t>> list) {
    allowedClasses_ = std::move(list);
  }

protected:
  void writeTextContent(std::ostream &out, int indent, HandleSet &written) const override;
  void writeElementContent(pugi::xml_node element, HandleSet &written) const override;

private:
  std::optional<std::vector<uint32_t>> allowedClasses_;
};

} // namespace arxmod
