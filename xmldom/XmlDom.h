// The XML object model in one include: implementation, documents and every node kind,
// lists, maps and traversal objects; the handler chain, the reading and writing roads and the
// parser components.
#pragma once

#include "XmlDomCharData.h"
#include "XmlASModel.h"
#include "XmlDomContentModel.h"
#include "XmlDomDecls.h"
#include "XmlDomDocument.h"
#include "XmlDomElements.h"
#include "XmlDomImpl.h"
#include "XmlDomLists.h"
#include "XmlDomNodes.h"
#include "XmlDomSchema.h"
#include "XmlDomTraversal.h"
#include "XmlErrors.h"
#include "XmlHandlers.h"
#include "XmlDomReader.h"
#include "XmlDocReader.h"
#include "XmlDocBuilder.h"
#include "XmlStreamBuilder.h"
#include "XmlParsers.h"
