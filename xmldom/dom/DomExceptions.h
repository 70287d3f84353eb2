// The DOM exception classes of the XML document library: one class per W3C exception kind,
// each raised with one of the fixed English texts of XmlMessages.h and nothing else.
// Misuse of the object model raises these; problems found in documents are TdomError records.
#pragma once

#include "XmlMessages.h"
#include "XmlSupport.h"

namespace xmldom {

class EDomException : public Exception {
    using Exception::Exception;
};

class EIndex_Size_Err : public EDomException {
    using EDomException::EDomException;
};
class EHierarchy_Request_Err : public EDomException {
    using EDomException::EDomException;
};
class EWrong_Document_Err : public EDomException {
    using EDomException::EDomException;
};
class EInvalid_Character_Err : public EDomException {
    using EDomException::EDomException;
};
class ENo_Modification_Allowed_Err : public EDomException {
    using EDomException::EDomException;
};
class ENot_Found_Err : public EDomException {
    using EDomException::EDomException;
};
class ENot_Supported_Err : public EDomException {
    using EDomException::EDomException;
};
class EInuse_Err : public EDomException {
    using EDomException::EDomException;
};
class EInvalid_State_Err : public EDomException {
    using EDomException::EDomException;
};
class ESyntax_Err : public EDomException {
    using EDomException::EDomException;
};
class ENamespace_Err : public EDomException {
    using EDomException::EDomException;
};
class EInvalid_Access_Err : public EDomException {
    using EDomException::EDomException;
};
class EWrong_DOM_Implementation_Err : public EDomException {
    using EDomException::EDomException;
};
/// Base of the abstract-schema errors.
class EASException : public EDomException {
    using EDomException::EDomException;
};
class EAS_Wrong_Element_Decl_Err : public EASException {
    using EASException::EASException;
};
class EParserException : public EDomException {
    using EDomException::EDomException;
};

} // namespace xmldom
