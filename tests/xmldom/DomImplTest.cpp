// The implementation component: registries, document and document-type factories with their
// checks, freeing, the feature test, the error path and forwarded events.

#include "DomTestSupport.h"

using namespace domtest;

namespace {

TEST(Implementation, FeatureTest) {
    TDomImplementation impl;
    EXPECT_TRUE(impl.hasFeature(u"views", u"2.0"));
    EXPECT_TRUE(impl.hasFeature(u"Traversal", u"2.0"));
    EXPECT_FALSE(impl.hasFeature(u"VIEWS", u""));
    EXPECT_FALSE(impl.hasFeature(u"XML", u"3.0"));
    EXPECT_TRUE(impl.hasFeature(u"xml", u""));
    EXPECT_TRUE(impl.hasFeature(u"XML", u"1.0"));
}

TEST(Implementation, CreateAndFreeDocuments) {
    TDomImplementation impl;
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { impl.createDocument(u"1x", nullptr); }, u"Invalid character error."));
    EXPECT_EQ(impl.getDocuments()->getLength(), 0);
    TdomDocument* doc = impl.createDocument(u"root", nullptr);
    EXPECT_EQ(doc->getDocumentElement()->getNodeName(), u"root");
    EXPECT_EQ(doc->getDomImplementation(), &impl);
    TdomDocument* empty = impl.createEmptyDocument(u"file:///loc.xml");
    EXPECT_EQ(empty->getLocation(), u"file:///loc.xml");
    EXPECT_EQ(impl.getDocuments()->getLength(), 2);
    impl.freeDocument(doc);
    EXPECT_EQ(doc, nullptr);
    EXPECT_EQ(impl.getDocuments()->item(0), empty);
    TdomDocument direct;
    TdomDocument* directPtr = &direct;
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { impl.freeDocument(directPtr); }, u"Document not found error."));
    EXPECT_EQ(directPtr, &direct);
}

TEST(Implementation, DocumentTypes) {
    TDomImplementation impl;
    EXPECT_TRUE(raises<ENamespace_Err>([&] { impl.createDocumentType(u"a:b:c", u"", u""); }, u"Namespace error."));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { impl.createDocumentType(u"", u"", u""); }, u"Invalid character error."));
    TdomDocumentType* type = impl.createDocumentType(u"t", u"pub", u"sys");
    EXPECT_EQ(type->getInternalSubset(), u"");
    EXPECT_EQ(type->getOwnerDocument(), nullptr);
    TdomDocument* doc = impl.createDocument(u"t", type);
    EXPECT_EQ(type->getOwnerDocument(), doc);
    EXPECT_EQ(doc->getDoctype(), type);
    EXPECT_TRUE(raises<EInuse_Err>([&] { impl.freeDocumentType(type); }, u"Inuse DocumentType error."));
    EXPECT_TRUE(raises<EWrong_Document_Err>([&] { impl.createDocument(u"t", type); }, u"Wrong document error."));
    EXPECT_TRUE(raises<EWrong_Document_Err>([&] { impl.createDocumentNS(u"urn:a", u"t", type); }, u"Wrong document error."));
    EXPECT_TRUE(raises<EWrong_Document_Err>([&] { TdomDocument d(nullptr, type); }, u"Wrong document error."));
    EXPECT_EQ(impl.getDocuments()->getLength(), 1);
    impl.freeDocument(doc);  // frees its document type too
    EXPECT_EQ(impl.getDocumentTypes()->getLength(), 0);
    TDomImplementation other;
    TdomDocumentType* foreign = other.createDocumentType(u"f", u"", u"");
    EXPECT_TRUE(raises<ENot_Found_Err>([&] { impl.freeDocumentType(foreign); }, u"DocumentType not found error."));
    EXPECT_TRUE(raises<EWrong_Document_Err>([&] { impl.createDocument(u"f", foreign); }, u"Wrong document error."));
}

TEST(Implementation, CreateDocumentNSRules) {
    TDomImplementation impl;
    EXPECT_TRUE(raises<ENamespace_Err>([&] { impl.createDocumentNS(u"urn:other", u"xml:r", nullptr); }, u"Namespace error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { impl.createDocumentNS(u"", u"p:r", nullptr); }, u"Namespace error."));
    EXPECT_TRUE(raises<ENamespace_Err>([&] { impl.createDocumentNS(u"urn:a", u"p:", nullptr); }, u"Namespace error."));
    EXPECT_TRUE(raises<EInvalid_Character_Err>([&] { impl.createDocumentNS(u"urn:a", u"<", nullptr); },
                                               u"Invalid character error."));
    EXPECT_EQ(impl.getDocuments()->getLength(), 0);
    TdomDocument* doc = impl.createDocumentNS(u"http://www.w3.org/XML/1998/namespace", u"xml:r", nullptr);
    EXPECT_EQ(doc->getDocumentElement()->getPrefix(), u"xml");
}

TEST(Implementation, ErrorPath) {
    TDomImplementation impl;
    EXPECT_TRUE(raises<ENot_Supported_Err>([&] { impl.handleError(&impl, nullptr); }, u"Not supported error."));
    TdomError warning(2, -1, -1, -1, -1, -1, u"", nullptr, nullptr, nullptr, u"");
    TdomError error(6, -1, -1, -1, -1, -1, u"", nullptr, nullptr, nullptr, u"");
    TdomError fatal(40, -1, -1, -1, -1, -1, u"", nullptr, nullptr, nullptr, u"");
    EXPECT_TRUE(impl.handleError(&impl, &warning));
    EXPECT_TRUE(impl.handleError(&impl, &error));
    EXPECT_FALSE(impl.handleError(&impl, &fatal));
    impl.OnError = [](TObject*, TdomError*, bool& go) { go = !go; };
    EXPECT_TRUE(impl.handleError(&impl, &fatal));
    // A node reports through its document's implementation.
    TdomDocument* doc = impl.createDocument(u"r", nullptr);
    impl.OnError = nullptr;
    EXPECT_FALSE(doc->sendErrorNotification(40, doc));
    TdomDocument plain;
    EXPECT_TRUE(plain.sendErrorNotification(6, &plain));
    EXPECT_FALSE(plain.sendErrorNotification(60, &plain));
}

TEST(Implementation, ExternalEntityRequestsRepeatWhileAskedTo) {
    TDomImplementation impl;
    std::unique_ptr<TStream> stream;
    TXmlParserAction action = PARSER_NONE;
    impl.doExternalParsedEntity(u"", u"", u"x", stream, action);
    EXPECT_EQ(action, PARSER_NONE);
    int calls = 0;
    impl.OnExternalParsedEntity = [&](TObject*, const WideString&, const WideString&, const WideString& systemId,
                                      std::unique_ptr<TStream>& s, TXmlParserAction& a) {
        ++calls;
        EXPECT_EQ(systemId, u"x");
        if (calls < 3) {
            a = PARSER_RETRY;
            return;
        }
        s = std::make_unique<TStringStream>("data");
        a = PARSER_STREAM;
    };
    impl.doExternalParsedEntity(u"", u"", u"x", stream, action);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(action, PARSER_STREAM);
    EXPECT_NE(stream, nullptr);
}

TEST(Implementation, ForwardsTheFourBubblingNotifications) {
    TDomImplementation impl;
    TdomDocument* doc = impl.createDocument(u"r", nullptr);
    std::vector<std::string> log;
    impl.OnNodeInserted = [&](TObject* s, TdomDocument* d, TdomNode* n) {
        EXPECT_EQ(s, &impl);
        EXPECT_EQ(d, doc);
        log.push_back("ins " + u8(n->getNodeName()));
    };
    impl.OnNodeRemoved = [&](TObject*, TdomDocument*, TdomNode* n) { log.push_back("rem " + u8(n->getNodeName())); };
    impl.OnAttrModified = [&](TObject*, TdomDocument*, TdomNode* n, TdomAttrChange k, TdomAttr* a) {
        log.push_back("attr " + u8(n->getNodeName()) + " " + u8(a->getName()) + std::to_string(k));
    };
    impl.OnCharacterDataModified = [&](TObject*, TdomDocument*, TdomNode* n) { log.push_back("data " + u8(n->getNodeName())); };
    TdomElement* root = doc->getDocumentElement();
    TdomText* t = doc->createTextNode(u"x");
    root->appendChild(t);
    t->setData(u"y");
    root->setAttribute(u"a", u"1");
    root->removeChild(t);
    EXPECT_EQ(log, (std::vector<std::string>{"ins #text", "data #text", "attr r a0", "rem #text"}));
    // Forwarding happens also when the document's own handler raised.
    doc->setOnNodeInserted([](TdomNode*, TdomNode*) { throw Exception(u"x"); });
    log.clear();
    EXPECT_THROW(root->appendChild(t), Exception);
    EXPECT_EQ(log, std::vector<std::string>{"ins #text"});
}

TEST(Implementation, ClearFreesEverything) {
    TDomImplementation impl;
    impl.createDocument(u"a", impl.createDocumentType(u"a", u"", u""));
    impl.createDocumentType(u"b", u"", u"");
    impl.createEmptyDocument(u"");
    impl.clear();
    EXPECT_EQ(impl.getDocuments()->getLength(), 0);
    EXPECT_EQ(impl.getDocumentTypes()->getLength(), 0);
}

}  // namespace
