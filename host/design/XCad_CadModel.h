// XCad_CadModel: a loaded design as the CAD layer sees it. The model owns
// its view from construction on (an empty view until a loader fills it)
// and frees it with itself. Whoever creates a model owns it; a model made by
// a loader's instantiator belongs to the loader's transaction.
//
// XCad_CadTraits names the CAD layer's classes for Pds_PahDesignLoaderT.
#pragma once

#include <memory>
#include <string>

class XCad_CadView;
class XCad_CadBlock;
class XCad_CadNetwork;
class XCad_CadPin;

class XCad_CadModel {
 public:
  XCad_CadModel(const char* fileName, const char* appName, const char* partName);
  virtual ~XCad_CadModel();
  XCad_CadModel(const XCad_CadModel&) = delete;
  XCad_CadModel& operator=(const XCad_CadModel&) = delete;

  XCad_CadView* GetView() const { return m_view.get(); }
  const char* GetFileName() const { return m_fileName.c_str(); }
  const char* GetAppName() const { return m_appName.c_str(); }
  const char* GetPartName() const { return m_partName.c_str(); }

 private:
  std::string m_fileName;
  std::string m_appName;
  std::string m_partName;
  std::unique_ptr<XCad_CadView> m_view;
};

struct XCad_CadTraits {
  using Model = XCad_CadModel;
  using View = XCad_CadView;
  using Block = XCad_CadBlock;
  using Network = XCad_CadNetwork;
  using Pin = XCad_CadPin;
};
