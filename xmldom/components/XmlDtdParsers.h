// The DTD parser components: TXmlCustomDtdParser owns a DTD reader and reads DTD text from source
// code, a stream, a byte string or a wide string; TDtdToASParser chains the reader through the DTD
// well-formedness test into the schema builder and reads external and internal subsets into a
// schema model.
#pragma once

#include <string>

#include "XmlParsers.h"

namespace xmldom {

class TdomASModel;
class TXmlASBuilder;
class TXmlSourceCode;
class TXmlStandardDtdReader;
class TXmlWFTestDTDHandler;

/// Reads DTD text with its own DTD reader; the chain behind the reader is the descendant's.
class TXmlCustomDtdParser : public TXmlCustomParser {
public:
    /// BufferSize 4096, TabWidth 1.
    explicit TXmlCustomDtdParser(TdomBaseComponent* AOwner = nullptr);

    void SetDOMImpl(TDomImplementation* Value) override;

    int32_t getTabWidth() const { return FTabWidth; }
    virtual void SetTabWidth(int32_t Value) { FTabWidth = Value; }

    TXmlStandardDtdReader* getDtdReader() const { return FDtdReader; }

protected:
    /// The core of the external-subset family: an input source on the stream whose declaration
    /// must be a text declaration or none (else kind 51) in a fitting encoding (else kind 78),
    /// then the reader's parseExternalSubset. False when a handler stopped the run.
    virtual bool parseExternalSubsetCore(TStream* Stream, const WideString& PublicId, const WideString& SystemId);
    /// The core of the internal-subset family: as above with parseInternalSubset.
    virtual bool parseInternalSubsetCore(TStream* Stream, const WideString& PublicId, const WideString& SystemId,
                                         bool Resolve);

    /// The four sources: each makes a stream of its text and runs the core of its family.
    /// Nil source code or stream: EAccessViolation "Stream not specified."; an empty text:
    /// EAccessViolation "Empty string.". Source code is read as the 16-bit text of its pieces.
    bool runSourceCode(TXmlSourceCode* SourceCode, const WideString& PublicId, const WideString& SystemId,
                       bool External, bool Resolve);
    bool runStream(TStream* Stream, const WideString& PublicId, const WideString& SystemId, bool External,
                   bool Resolve);
    bool runString(const std::string& Text, const WideString& PublicId, const WideString& SystemId, bool External,
                   bool Resolve);
    bool runWideString(const WideString& Text, const WideString& PublicId, const WideString& SystemId,
                       bool External, bool Resolve);

private:
    bool runCore(TStream* Stream, const WideString& PublicId, const WideString& SystemId, bool External,
                 bool Resolve);

    int32_t FTabWidth = 1;
    TXmlStandardDtdReader* FDtdReader; ///< owned through the component owner
};

/// Reads DTDs into schema models: DTD reader -> DTD well-formedness test -> schema builder.
///
/// External subsets (the …ToASModel operations) take a flag that empties the builder's
/// parameter entities first; without it an external subset read after an internal one still
/// knows the internal subset's parameter entities. Internal subsets (the parse…Into
/// operations) always start with none and have their parameter-entity references replaced.
/// Each operation returns true or raises EParserException "Parser error." when the run was
/// stopped.
class TDtdToASParser : public TXmlCustomDtdParser {
public:
    explicit TDtdToASParser(TdomBaseComponent* AOwner = nullptr);

    virtual bool sourceCodeToASModel(TXmlSourceCode* SourceCode, const WideString& PublicId,
                                     const WideString& SystemId, TdomASModel* Model, bool ClearParameterEntities);
    virtual bool streamToASModel(TStream* Stream, const WideString& PublicId, const WideString& SystemId,
                                 TdomASModel* Model, bool ClearParameterEntities);
    virtual bool stringToASModel(const std::string& Text, const WideString& PublicId, const WideString& SystemId,
                                 TdomASModel* Model, bool ClearParameterEntities);
    virtual bool wideStringToASModel(const WideString& Text, const WideString& PublicId, const WideString& SystemId,
                                     TdomASModel* Model, bool ClearParameterEntities);

    virtual bool parseSourceCodeInto(TXmlSourceCode* SourceCode, const WideString& PublicId,
                                     const WideString& SystemId, TdomASModel* Model);
    virtual bool parseStreamInto(TStream* Stream, const WideString& PublicId, const WideString& SystemId,
                                 TdomASModel* Model);
    virtual bool parseStringInto(const std::string& Text, const WideString& PublicId, const WideString& SystemId,
                                 TdomASModel* Model);
    virtual bool parseWideStringInto(const WideString& Text, const WideString& PublicId, const WideString& SystemId,
                                     TdomASModel* Model);

    TXmlWFTestDTDHandler* getTestHandler() const { return FTestHandler; }
    TXmlASBuilder* getASBuilder() const { return FASBuilder; }

private:
    /// Hands the model to the builder, empties its parameter entities when asked, runs Body and
    /// raises "Parser error." on false; the builder forgets the model afterwards.
    template <class Body>
    bool intoModel(TdomASModel* Model, bool ClearParameterEntities, Body&& Run);

    TXmlWFTestDTDHandler* FTestHandler; ///< owned through the component owner
    TXmlASBuilder* FASBuilder;          ///< owned through the component owner
};

} // namespace xmldom
